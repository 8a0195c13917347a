// Installing a program over ADT: validate - create - lock - check - write -
// unlock - activate, and the requests the name check shares with it.
#include "sap/adt/AdtInstall.h"

#include <openssl/evp.h>
#include <pugixml.hpp>

#include <algorithm>
#include <cstdlib>
#include <sstream>

#include "sap/adt/AdtAnswers.h"
#include "common/Text.h"

namespace orvex::sap::adt {

namespace {

using text::lower;

constexpr const char* kPrograms = "/sap/bc/adt/programs/programs/";
constexpr const char* kAsXml = "application/vnd.sap.as+xml";
constexpr const char* kTextElements = "/sap/bc/adt/textelements/programs/";
constexpr const char* kSymbolsType = "application/vnd.sap.adt.textelements.symbols.v1";
constexpr const char* kProgramXml =
    "application/vnd.sap.adt.programs.programs.v2+xml, application/vnd.sap.adt.programs.programs+xml";

// An XML document that starts with its declaration, as SAP's clients send it.
pugi::xml_node startDocument(pugi::xml_document& doc) {
    pugi::xml_node declaration = doc.append_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    declaration.append_attribute("encoding") = "UTF-8";
    return doc;
}

// The document in one line, escaped by the writer.
std::string written(const pugi::xml_document& doc) {
    std::ostringstream out;
    doc.save(out, "", pugi::format_raw, pugi::encoding_utf8);
    return out.str();
}

pugi::xml_node element(pugi::xml_node parent, const char* name, const std::string& text = {}) {
    pugi::xml_node child = parent.append_child(name);
    if (!text.empty()) child.text().set(text.c_str());
    return child;
}


// The body that creates program `name`.
std::string programBody(const std::string& name, const std::string& title, const std::string& responsible,
                        const std::string& package) {
    pugi::xml_document doc;
    pugi::xml_node program = startDocument(doc).append_child("program:abapProgram");
    const std::pair<const char*, std::string> attributes[] = {
        {"xmlns:program", "http://www.sap.com/adt/programs/programs"},
        {"xmlns:adtcore", "http://www.sap.com/adt/core"},
        {"adtcore:type", "PROG/P"},
        {"adtcore:name", name},
        {"adtcore:description", title},
        {"adtcore:language", "EN"},
        {"adtcore:masterLanguage", "EN"},
        {"adtcore:responsible", responsible},
    };
    for (const auto& [attribute, value] : attributes) program.append_attribute(attribute) = value.c_str();
    program.append_child("adtcore:packageRef").append_attribute("adtcore:name") = package.c_str();
    return written(doc);
}

// The body that activates the object at `uri`.
std::string activationBody(const std::string& uri, const std::string& name) {
    pugi::xml_document doc;
    pugi::xml_node references = startDocument(doc).append_child("adtcore:objectReferences");
    references.append_attribute("xmlns:adtcore") = "http://www.sap.com/adt/core";
    pugi::xml_node reference = references.append_child("adtcore:objectReference");
    reference.append_attribute("adtcore:uri") = uri.c_str();
    reference.append_attribute("adtcore:name") = name.c_str();
    return written(doc);
}

std::string base64(const std::string& data) {
    std::string out(4 * ((data.size() + 2) / 3) + 1, '\0');
    const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                  reinterpret_cast<const unsigned char*>(data.data()), static_cast<int>(data.size()));
    out.resize(static_cast<std::size_t>(n));
    return out;
}

// SAP's answer of an asx:abap document: the text of DATA's child `name`.
std::string asxValue(const std::string& body, const char* name) {
    pugi::xml_document doc;
    if (!parseAnswer(doc, body, "")) return {};
    return firstNamed(doc, name).text().as_string();
}

}  // namespace

std::string transportCheckBody(const std::string& package, const std::string& uri) {
    pugi::xml_document doc;
    pugi::xml_node abap = startDocument(doc).append_child("asx:abap");
    abap.append_attribute("xmlns:asx") = "http://www.sap.com/abapxml";
    abap.append_attribute("version") = "1.0";
    pugi::xml_node data = element(element(abap, "asx:values"), "DATA");
    for (const char* empty : {"PGMID", "OBJECT", "OBJECTNAME"}) element(data, empty);
    element(data, "DEVCLASS", package);
    element(data, "SUPER_PACKAGE");
    element(data, "OPERATION", "I");
    element(data, "URI", uri);
    return written(doc);
}

std::string programUri(const std::string& name) { return kPrograms + escaped(lower(name)); }

Result<AdtResponse> getObject(AdtSession& session, const std::string& uri) {
    AdtRequest get;
    get.path = uri;
    get.accept = kProgramXml;
    return session.send(get);
}

Result<NameCheck> validateName(AdtSession& session, const std::string& name, const std::string& package,
                               const std::string& title) {
    AdtRequest request;
    request.method = "POST";
    request.path = "/sap/bc/adt/programs/validation";
    request.query = {{"objname", name}, {"objtype", "PROG/P"}, {"packagename", package}};
    if (!title.empty()) request.query.emplace_back("description", title);
    request.accept = kAsXml;
    auto answer = session.send(request);
    if (!answer) return answer.failure();
    if (answer->status != 200) return adtFailure(*answer, "the name check of " + name + " failed");
    pugi::xml_document doc;
    if (Status parsed = parseAnswer(doc, answer->body, "the name check"); !parsed) return parsed.failure();
    if (std::string(firstNamed(doc, "SEVERITY").text().as_string()) == "ERROR")
        return NameCheck{true, firstNamed(doc, "SHORT_TEXT").text().as_string(), {}, {}};
    return NameCheck{};
}

Status AdtInstaller::store(const std::string& name, const std::string& package, const InstallRequest& request,
                           InstallResult& result) {
    auto valid = validateName(session_, name, package, request.title);
    if (!valid) return valid.failure();
    const std::string uri = programUri(name);
    bool exists = false;
    if (valid->taken) {
        // Programs and includes share the name space: only a program
        // may be replaced, and only with the user's consent.
        auto program = getObject(session_, uri);
        if (!program) return program.failure();
        if (program->status != 200)
            return failure(FailureKind::Function, "SAP refused the program name " + name +
                                                      (valid->text.empty() ? "" : ": " + valid->text));
        if (!request.replace) return takenName(name);
        exists = true;
    }
    if (!exists) {
        if (Status created = create(name, package, request); !created) return created;
    }
    return storeSource(name, uri, request, result);
}

Status AdtInstaller::create(const std::string& name, const std::string& package, const InstallRequest& request) {
    AdtRequest create;
    create.method = "POST";
    create.path = "/sap/bc/adt/programs/programs";
    if (!request.transport.empty()) create.query = {{"corrNr", request.transport}};
    create.contentType = "application/vnd.sap.adt.programs.programs.v2+xml; charset=utf-8";
    create.accept = kProgramXml;
    create.body = programBody(name, request.title, repositoryName(session_.user()), package);
    auto created = session_.send(create);
    if (!created) return created.failure();
    if (created->status / 100 != 2) {
        // Created meanwhile by someone else: SAP's create refuses a taken
        // name itself ("already exists", in the logon language). Whatever
        // its words, a program that is there now has the name.
        if (exceptionMessage(*created).find("already exists") != std::string::npos) return takenName(name);
        Failure refused = adtFailure(*created, "creating program " + name + " failed");
        auto program = getObject(session_, programUri(name));
        if (program && program->status == 200) return takenName(name);
        return refused;
    }
    return {};
}

Status AdtInstaller::storeSource(const std::string& name, const std::string& uri, const InstallRequest& request,
                                 InstallResult& result) {
    return underLock(name, uri, "program " + name, request.transport,
                     [&](const std::string& handle, const std::string& transport) {
                         return writeSource(name, uri, handle, transport, request, result);
                     });
}

Status AdtInstaller::underLock(const std::string& name, const std::string& uri, const std::string& what,
                               const std::string& requested, const LockedWork& work, int* lockStatus) {
    AdtRequest lock;
    lock.method = "POST";
    lock.path = uri;
    lock.query = {{"_action", "LOCK"}, {"accessMode", "MODIFY"}};
    lock.accept = "application/vnd.sap.as+xml;charset=UTF-8;dataname=com.sap.adt.lock.result";
    lock.stateful = true;  // a refused token may still be renewed: nothing is locked yet
    auto locked = sendToEnd(lock);
    if (lockStatus) *lockStatus = locked ? locked->status : 0;
    // From the granted lock to the UNLOCK, every request stays in the lock's context.
    session_.setLockWindow(locked && locked->status == 200);
    Status status;
    if (!locked) {
        status = locked.failure();
    } else if (locked->status != 200) {
        status = adtFailure(*locked, what + " could not be locked");
    } else {
        const std::string handle = asxValue(locked->body, "LOCK_HANDLE");
        std::string transport = requested;
        if (transport.empty()) transport = asxValue(locked->body, "CORRNR");
        status = handle.empty()
                     ? Status(failure(FailureKind::Reply, "the lock of " + name + " came without a handle",
                                      locked->body.substr(0, 200)))
                     : work(handle, transport);
        if (!handle.empty()) {
            AdtRequest unlock;
            unlock.method = "POST";
            unlock.path = uri;
            unlock.query = {{"_action", "UNLOCK"}, {"lockHandle", handle}};
            unlock.afterCancel = true;
            auto unlocked = sendToEnd(unlock);
            Status released;
            if (!unlocked)
                released = unlocked.failure();
            else if (unlocked->status != 200)
                released = adtFailure(*unlocked, "unlocking " + name + " failed");
            if (status) {
                status = released;
            } else if (!released) {
                // The first failure stays the reason; the lock left behind is said too.
                Failure failed = status.failure();
                failed.detail += (failed.detail.empty() ? "" : "; ") + std::string("the lock on ") + name +
                                 " is still held: " + released.failure().text();
                status = failed;
            }
        }
    }
    // One stateless request ends the context the lock lived in.
    session_.setLockWindow(false);
    AdtRequest end;
    end.path = programUri(name);
    end.accept = kProgramXml;
    end.afterCancel = true;
    auto ended = sendToEnd(end);
    if (status && !ended) status = ended.failure();
    return status;
}

Status AdtInstaller::writeSource(const std::string& name, const std::string& uri, const std::string& handle,
                                 const std::string& transport, const InstallRequest& request,
                                 InstallResult& result) {
    std::string text;
    if (request.source)
        for (std::size_t i = 0; i < request.source->size(); ++i) text += (i ? "\n" : "") + (*request.source)[i];

    AdtRequest check;
    check.method = "POST";
    check.path = "/sap/bc/adt/checkruns";
    check.query = {{"reporters", "abapCheckRun"}};
    check.contentType = "application/vnd.sap.adt.checkobjects+xml";
    check.accept = "application/vnd.sap.adt.checkmessages+xml";
    check.body =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><chkrun:checkObjectList "
        "xmlns:chkrun=\"http://www.sap.com/adt/checkrun\" xmlns:adtcore=\"http://www.sap.com/adt/core\">"
        "<chkrun:checkObject adtcore:uri=\"" +
        uri +
        "\" chkrun:version=\"inactive\"><chkrun:artifacts>"
        "<chkrun:artifact chkrun:contentType=\"text/plain; charset=utf-8\" chkrun:uri=\"" +
        uri + "/source/main\"><chkrun:content>" + base64(text) +
        "</chkrun:content></chkrun:artifact></chkrun:artifacts></chkrun:checkObject></chkrun:checkObjectList>";
    auto checked = session_.send(check);
    if (!checked) return checked.failure();
    if (checked->status == 423) return lockLost(name, *checked);
    if (checked->status != 200) return adtFailure(*checked, "the syntax check of " + name + " failed");
    pugi::xml_document doc;
    if (Status parsed = parseAnswer(doc, checked->body, "the syntax check"); !parsed) return parsed;
    for (SapMessage& message : checkMessages(doc)) result.sapMessages.push_back(std::move(message));

    AdtRequest put;
    put.method = "PUT";
    put.path = uri + "/source/main";
    put.query = {{"lockHandle", handle}};
    if (!transport.empty()) put.query.emplace_back("corrNr", transport);
    put.contentType = "text/plain; charset=utf-8";
    put.body = std::move(text);
    auto written = session_.send(put);
    if (!written) return written.failure();
    if (written->status == 423) return lockLost(name, *written);
    if (written->status / 100 != 2) return adtFailure(*written, "storing the source of " + name + " failed");
    return {};
}

Status AdtInstaller::lockLost(const std::string& name, const AdtResponse& response) {
    Failure lost = adtFailure(response, "the lock on " + name + " was lost before the source was stored");
    // Releases before 7.51 (they lack element info) keep no ADT session over HTTP.
    if (session_.discovery().find("/sap/bc/adt/ddic/elementinfo") == std::string::npos)
        lost.reason = "the system dropped the lock on " + name +
                      " right after granting it: SAP releases before 7.51 keep no ADT session over HTTP, so "
                      "they cannot store a program this way; use an RFC road (SAP's RFC library or the SOAP "
                      "service) for this system";
    return lost;
}

Result<AdtResponse> AdtInstaller::sendActivation(const std::string& uri, const std::string& name) {
    AdtRequest request;
    request.method = "POST";
    request.path = "/sap/bc/adt/activation";
    request.query = {{"method", "activate"}, {"preauditRequested", "true"}};
    request.contentType = "application/xml";
    request.accept = "application/xml";
    request.body = activationBody(uri, name);
    auto answer = session_.send(request);
    if (answer && answer->contentType.find("inactivectsobjects") != std::string::npos) {
        // The pre-audit lists the inactive objects: activate without it.
        request.query = {{"method", "activate"}, {"preauditRequested", "false"}};
        answer = session_.send(request);
    }
    return answer;
}

Status AdtInstaller::activate(const std::string& name, std::vector<SapMessage>& found) {
    auto answer = sendActivation(programUri(name), name);
    if (!answer) return answer.failure();
    if (answer->status != 200) return adtFailure(*answer, "activating " + name + " failed");
    if (answer->contentType.find("inactivectsobjects") != std::string::npos)
        return failure(FailureKind::Function, "the activation left " + name + " inactive",
                       "HTTP 200, inactive objects listed twice");
    // A successful activation may answer with no body at all; only
    // failures and warnings come with messages.
    if (answer->body.find_first_not_of(" \t\r\n") != std::string::npos) {
        pugi::xml_document doc;
        if (Status parsed = parseAnswer(doc, answer->body, "the activation"); !parsed) return parsed;
        found = activationMessages(doc);
    }
    if (std::any_of(found.begin(), found.end(), isError)) return {};
    // The status alone decides nothing: the program's active version does.
    auto program = getObject(session_, programUri(name));
    if (!program) return program.failure();
    if (program->status != 200) return adtFailure(*program, "reading program " + name + " after its activation failed");
    pugi::xml_document doc;
    if (Status parsed = parseAnswer(doc, program->body, "the program"); !parsed) return parsed;
    const std::string version = attribute(doc.document_element(), "version");
    if (version != "active")
        return failure(FailureKind::Function, "the activation left " + name + " inactive",
                       "adtcore:version=\"" + version + "\" after the activation");
    return {};
}

std::string textElementsUri(const std::string& name) { return kTextElements + escaped(lower(name)); }

std::string symbolsSource(const std::vector<TextSymbol>& symbols) {
    std::string source;
    for (const TextSymbol& symbol : symbols)
        source += "@MaxLength:" + std::to_string(symbol.maxLength) + "\n" + symbol.key + "=" + symbol.text + "\n";
    return source;
}

std::vector<TextSymbol> parsedSymbols(const std::string& source) {
    std::vector<TextSymbol> symbols;
    std::size_t room = 0;
    std::istringstream lines(source);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("@MaxLength:", 0) == 0) {
            room = static_cast<std::size_t>(std::strtoul(line.c_str() + 11, nullptr, 10));
        } else if (const std::size_t eq = line.find('='); eq != std::string::npos && line[0] != '@') {
            symbols.push_back({line.substr(0, eq), line.substr(eq + 1), room});
            room = 0;
        }
    }
    return symbols;
}

Status AdtInstaller::storeTexts(const std::string& name, const InstallRequest& request) {
    const std::vector<TextSymbol>& symbols = *request.textPool;
    const Failure none = failure(FailureKind::Refused, "the system has no text elements over ADT (they came with "
                                                       "release 7.51)");
    if (session_.discovery().find("/sap/bc/adt/textelements") == std::string::npos) return none;
    const std::string uri = textElementsUri(name);
    int lockStatus = 0;
    Status stored = underLock(
        name, uri, "the text elements of " + name, request.transport,
        [&](const std::string& handle, const std::string& transport) -> Status {
            AdtRequest put;
            put.method = "PUT";
            put.path = uri + "/source/symbols";
            put.query = {{"lockHandle", handle}};
            if (!transport.empty()) put.query.emplace_back("corrNr", transport);
            put.contentType = std::string(kSymbolsType) + "; charset=utf-8";
            put.accept = kSymbolsType;
            put.body = symbolsSource(symbols);
            auto written = session_.send(put);
            if (!written) return written.failure();
            if (written->status / 100 != 2) return adtFailure(*written, "storing the text symbols of " + name + " failed");
            return {};
        },
        &lockStatus);
    if (lockStatus == 404) return none;
    if (!stored) return stored;

    // Whether activating the program activates its texts differs between
    // releases: the text elements are activated on their own.
    auto activated = sendActivation(uri, name);
    if (!activated) return activated.failure();
    if (activated->status != 200) return adtFailure(*activated, "activating the text elements of " + name + " failed");
    if (activated->body.find_first_not_of(" \t\r\n") != std::string::npos) {
        pugi::xml_document doc;
        if (Status parsed = parseAnswer(doc, activated->body, "the activation"); !parsed) return parsed;
        const std::vector<SapMessage> found = activationMessages(doc);
        if (auto error = std::find_if(found.begin(), found.end(), isError); error != found.end())
            return failure(FailureKind::Function, "activating the text elements of " + name + " failed: " + error->text);
    }
    // The active version must hold every symbol as written.
    AdtRequest read;
    read.path = uri + "/source/symbols";
    read.query = {{"version", "active"}};
    read.accept = kSymbolsType;
    auto active = session_.send(read);
    if (!active) return active.failure();
    if (active->status != 200) return adtFailure(*active, "reading the active text elements of " + name + " failed");
    if (parsedSymbols(active->body) != symbols)
        return failure(FailureKind::Function, "the active text elements of " + name + " are not the ones written",
                       active->body.substr(0, 200));
    return {};
}

void AdtInstaller::cancel() {
    std::lock_guard lock(cancelMutex_);
    if (runningToEnd_)
        cancelAfter_ = true;
    else
        session_.cancel();
}

Result<AdtResponse> AdtInstaller::sendToEnd(const AdtRequest& request) {
    {
        std::lock_guard lock(cancelMutex_);
        runningToEnd_ = true;
    }
    auto answer = session_.send(request);
    std::lock_guard lock(cancelMutex_);
    runningToEnd_ = false;
    if (cancelAfter_) session_.cancel();
    cancelAfter_ = false;
    return answer;
}

}  // namespace orvex::sap::adt
