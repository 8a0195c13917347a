#include "AdtOperations.h"

#include <httplib.h>
#include <openssl/evp.h>
#include <pugixml.hpp>

#include <cctype>
#include <cstring>
#include <functional>
#include <mutex>

#include "TableReads.h"

namespace orvex::sap::adt {

namespace {

constexpr const char* kPrograms = "/sap/bc/adt/programs/programs/";
constexpr const char* kAsXml = "application/vnd.sap.as+xml";
constexpr const char* kProgramXml =
    "application/vnd.sap.adt.programs.programs.v2+xml, application/vnd.sap.adt.programs.programs+xml";
constexpr const char* kNoElementInfo =
    "this system's release offers no field list over ADT (element info comes with release 7.51); "
    "read the fields over an RFC road instead: SAP's RFC library or the SOAP service (/sap/bc/soap/rfc)";

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

const char* localName(const char* name) {
    const char* colon = std::strchr(name, ':');
    return colon ? colon + 1 : name;
}

// The first attribute whose name without its prefix is `name`.
std::string attribute(pugi::xml_node node, const char* name) {
    for (pugi::xml_attribute a : node.attributes())
        if (std::strcmp(localName(a.name()), name) == 0) return a.value();
    return {};
}

// Every descendant whose name without its prefix is `name`, in document order.
void eachNamed(pugi::xml_node node, const char* name, const std::function<void(pugi::xml_node)>& visit) {
    for (pugi::xml_node child : node.children()) {
        if (child.type() != pugi::node_element) continue;
        if (std::strcmp(localName(child.name()), name) == 0) visit(child);
        eachNamed(child, name, visit);
    }
}

pugi::xml_node firstNamed(pugi::xml_node node, const char* name) {
    pugi::xml_node found;
    eachNamed(node, name, [&](pugi::xml_node n) {
        if (!found) found = n;
    });
    return found;
}

std::string xmlEscaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string base64(const std::string& data) {
    std::string out(4 * ((data.size() + 2) / 3) + 1, '\0');
    const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                  reinterpret_cast<const unsigned char*>(data.data()), static_cast<int>(data.size()));
    out.resize(static_cast<std::size_t>(n));
    return out;
}

// "...#start=L,C" (C counted from 0) into a message's line and column (both from 1).
void readPosition(const std::string& uri, SapMessage& message) {
    const auto at = uri.find("#start=");
    if (at == std::string::npos) return;
    const char* p = uri.c_str() + at + 7;
    char* end = nullptr;
    message.line = static_cast<int>(std::strtol(p, &end, 10));
    if (*end == ',') message.column = static_cast<int>(std::strtol(end + 1, nullptr, 10)) + 1;
}

// SAP's answer of an asx:abap document: the text of DATA's child `name`.
std::string asxValue(const std::string& body, const char* name) {
    pugi::xml_document doc;
    if (!doc.load_string(body.c_str())) return {};
    return firstNamed(doc, name).text().as_string();
}

std::string padded(std::string name) {
    if (name.size() < 40) name.resize(40, ' ');
    return name;
}

class AdtOperations final : public Operations {
public:
    AdtOperations(const LogonValues& logon, AdtOptions options)
        : session_(connectionProperties(logon), std::move(options)) {}

    Status logon() override {
        if (session_.loggedOn()) return {};
        return session_.logon();
    }

    Result<NameCheck> checkName(const std::string& typed) override {
        const std::string name = repositoryName(typed);
        AdtRequest get;
        get.path = kPrograms + percentEncoded(lower(name));
        get.accept = kProgramXml;
        auto program = session_.send(get);
        if (!program) return program.failure();
        if (program->status == 200) return existing(program->body);
        if (program->status != 404) return adtFailure(*program, "reading program " + name + " failed");
        // Programs and includes share one name space: the validation knows both.
        auto valid = validate(name, "$TMP", {});
        if (!valid) return valid.failure();
        return *valid;
    }

    Result<TableSearch> searchTables(const std::string& pattern) override {
        std::string query;
        for (char c : pattern) query += c == '%' ? '*' : c;
        AdtRequest search;
        search.path = "/sap/bc/adt/repository/informationsystem/search";
        search.query = {{"operation", "quickSearch"},
                        {"query", query},
                        {"maxResults", std::to_string(kSearchCap + 1)},
                        {"objectType", "TABL/DT"}};
        search.accept = "application/xml";
        auto answer = session_.send(search);
        if (!answer) return answer.failure();
        if (answer->status != 200) return adtFailure(*answer, "the table search failed");
        pugi::xml_document doc;
        if (!doc.load_string(answer->body.c_str()))
            return failure(FailureKind::Reply, "the table search's answer is not XML", "HTTP 200");
        TableSearch result;
        result.cap = kSearchCap;
        eachNamed(doc, "objectReference", [&](pugi::xml_node ref) {
            std::string name = attribute(ref, "name");
            // Older releases put "NAME (TEXT)" in the name.
            name = name.substr(0, name.find(" ("));
            if (name.empty()) return;
            if (result.names.size() == kSearchCap) {
                result.capped = true;
                return;
            }
            result.names.push_back(padded(repositoryName(name)));
        });
        return result;
    }

    Result<std::vector<TableField>> readFields(const std::string& table) override {
        if (Status status = logon(); !status) return status.failure();
        if (session_.discovery().find("/sap/bc/adt/ddic/elementinfo") == std::string::npos)
            return failure(FailureKind::Refused, kNoElementInfo, "no /sap/bc/adt/ddic/elementinfo in the discovery");
        AdtRequest info;
        info.path = "/sap/bc/adt/ddic/elementinfo";
        info.query = {{"path", repositoryName(table)}};
        info.accept = "application/vnd.sap.adt.elementinfo+xml";
        auto answer = session_.send(info);
        if (!answer) return answer.failure();
        if (answer->status == 404 && exceptionMessage(*answer).find("No suitable resource") != std::string::npos)
            return failure(FailureKind::Refused, kNoElementInfo, "HTTP 404, No suitable resource found");
        if (answer->status != 200)
            return adtFailure(*answer, "reading the fields of " + repositoryName(table) + " failed");
        pugi::xml_document doc;
        if (!doc.load_string(answer->body.c_str()))
            return failure(FailureKind::Reply, "the field list is not XML", "HTTP 200");
        std::vector<TableField> fields;
        for (pugi::xml_node field : doc.document_element().children()) {
            if (std::strcmp(localName(field.name()), "elementInfo") != 0) continue;
            if (attribute(field, "type") != "TABL/DTF") continue;  // includes, links
            std::string name = repositoryName(attribute(field, "name"));
            if (name.empty() || name.front() == '.') continue;
            std::string label;
            eachNamed(field, "entry", [&](pugi::xml_node entry) {
                if (attribute(entry, "key") == "ddicLabelLong") label = entry.text().as_string();
            });
            if (label.empty()) label = firstNamed(field, "documentation").text().as_string();
            fields.push_back({std::move(name), std::move(label)});
        }
        return fields;
    }

    Result<TransportCheck> checkTransport(const std::string& typed, const std::string& package) override {
        TransportCheck check;
        if (package.empty() || package.front() == '$') return check;  // local packages record nothing
        const std::string name = repositoryName(typed);
        AdtRequest request;
        request.method = "POST";
        request.path = "/sap/bc/adt/cts/transportchecks";
        request.contentType = request.accept =
            "application/vnd.sap.as+xml; charset=UTF-8; dataname=com.sap.adt.transport.service.checkData";
        request.body =
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?><asx:abap xmlns:asx=\"http://www.sap.com/abapxml\" "
            "version=\"1.0\"><asx:values><DATA><PGMID/><OBJECT/><OBJECTNAME/><DEVCLASS>" +
            xmlEscaped(package) + "</DEVCLASS><SUPER_PACKAGE/><OPERATION>I</OPERATION><URI>" + kPrograms +
            percentEncoded(lower(name)) + "</URI></DATA></asx:values></asx:abap>";
        auto answer = session_.send(request);
        if (!answer) return answer.failure();
        if (answer->status != 200) return adtFailure(*answer, "the transport check failed");
        pugi::xml_document doc;
        if (!doc.load_string(answer->body.c_str()))
            return failure(FailureKind::Reply, "the transport check's answer is not XML", "HTTP 200");
        std::string error;
        eachNamed(doc, "CTS_MESSAGE", [&](pugi::xml_node m) {
            const std::string severity = m.child("SEVERITY").text().as_string();
            if (error.empty() && (severity == "E" || severity == "A" || severity == "X"))
                error = m.child("TEXT").text().as_string();
        });
        if (!error.empty())
            return failure(FailureKind::Function, "the transport check refused package " + package + ": " + error);
        check.required = std::string(firstNamed(doc, "RECORDING").text().as_string()) == "X";
        eachNamed(doc, "REQ_HEADER", [&](pugi::xml_node header) {
            std::string text = header.child("AS4TEXT").text().as_string();
            check.requests.push_back(std::string(header.child("TRKORR").text().as_string()) +
                                     (text.empty() ? "" : " " + text));
        });
        return check;
    }

    InstallResult installProgram(const InstallRequest& request, const MessageSink& messages) override {
        InstallResult result;
        auto tell = [&](std::string text, unsigned style, std::string detail = {}) {
            if (messages) messages(Message{std::move(text), kAppTitle, style, std::move(detail)});
        };
        if (Status status = logon(); !status) {
            result.failure = status.failure();
            tell("No connection to R/3!", kOkOnly, result.failure.details());
            return result;
        }
        const std::string name = repositoryName(request.name);
        const std::string package = request.package.empty() ? std::string("$TMP") : repositoryName(request.package);
        Status stored = store(name, package, request, result);
        if (!stored) {
            result.failure = stored.failure();
            // A taken name is no connection error: the caller says so.
            if (result.outcome == InstallOutcome::NameTaken) return result;
            result.outcome = InstallOutcome::InsertFailed;
            tell("There was a connection error\r\nPlease Try Again", kCritical, result.failure.details());
            return result;
        }
        result.outcome = InstallOutcome::Created;
        tell("Program Created successfully in SAP", kRightAligned);
        if (!request.unicodeCheck) return result;

        result.activationRequested = true;
        std::vector<SapMessage> found;
        Status activated = activate(name, found);
        bool errors = false;
        for (const SapMessage& m : found) errors = errors || isError(m);
        result.sapMessages.insert(result.sapMessages.end(), found.begin(), found.end());
        if (activated && !errors) {
            result.activated = true;
            return result;
        }
        std::string detail;
        if (!activated) {
            result.activationError = activated.failure().reason;
            detail = activated.failure().details();
        } else {
            int count = 0;
            for (const SapMessage& m : found) {
                if (isError(m)) ++count;
                detail += (detail.empty() ? "" : "\n") + messageLine(m);
            }
            result.activationError =
                "the activation reported " + std::to_string(count) + (count == 1 ? " error" : " errors");
        }
        tell(
            "The program was created, but setting its attributes and activating it failed\r\n" + result.activationError,
            kCritical, detail);
        return result;
    }

private:
    // A program that has the name, with its title and last change where
    // SAP's answer names them.
    static NameCheck existing(const std::string& body) {
        NameCheck check{true, {}, {}, {}};
        pugi::xml_document doc;
        if (!doc.load_string(body.c_str())) return check;
        const pugi::xml_node program = doc.document_element();
        check.title = attribute(program, "description");
        std::string at = attribute(program, "changedAt");  // 2024-05-17T14:02:11Z
        if (at.size() >= 16 && at[10] == 'T') at = at.substr(0, 10) + " " + at.substr(11, 5);
        const std::string by = attribute(program, "changedBy");
        check.changed = at + (!at.empty() && !by.empty() ? ", " : "") + by;
        return check;
    }

    // The validation: free, or taken (or refused) with SAP's text.
    Result<NameCheck> validate(const std::string& name, const std::string& package, const std::string& title) {
        AdtRequest request;
        request.method = "POST";
        request.path = "/sap/bc/adt/programs/validation";
        request.query = {{"objname", name}, {"objtype", "PROG/P"}, {"packagename", package}};
        if (!title.empty()) request.query.emplace_back("description", title);
        request.accept = kAsXml;
        auto answer = session_.send(request);
        if (!answer) return answer.failure();
        if (answer->status != 200) return adtFailure(*answer, "the name check of " + name + " failed");
        if (asxValue(answer->body, "SEVERITY") == "ERROR")
            return NameCheck{true, asxValue(answer->body, "SHORT_TEXT"), {}, {}};
        return NameCheck{};
    }

    // Validation, then creation, or for an existing program the user agreed
    // to replace an update in place; then the source under a lock.
    Status store(const std::string& name, const std::string& package, const InstallRequest& request,
                 InstallResult& result) {
        auto valid = validate(name, package, request.title);
        if (!valid) return valid.failure();
        const std::string uri = kPrograms + percentEncoded(lower(name));
        bool exists = false;
        if (valid->taken) {
            // Programs and includes share the name space: only a program
            // may be replaced, and only with the user's consent.
            AdtRequest get;
            get.path = uri;
            get.accept = kProgramXml;
            auto program = session_.send(get);
            if (!program) return program.failure();
            if (program->status != 200)
                return failure(FailureKind::Function, "SAP refused the program name " + name +
                                                          (valid->text.empty() ? "" : ": " + valid->text));
            if (!request.replace) return nameTaken(name, result);
            exists = true;
        }
        if (!exists) {
            if (Status created = create(name, package, request, result); !created) return created;
        }
        return storeSource(name, uri, request, result);
    }

    Status nameTaken(const std::string& name, InstallResult& result) {
        result.outcome = InstallOutcome::NameTaken;
        return failure(FailureKind::Refused, "program " + name + " already exists in the system");
    }

    Status create(const std::string& name, const std::string& package, const InstallRequest& request,
                  InstallResult& result) {
        AdtRequest create;
        create.method = "POST";
        create.path = "/sap/bc/adt/programs/programs";
        if (!request.transport.empty()) create.query = {{"corrNr", request.transport}};
        create.contentType = "application/vnd.sap.adt.programs.programs.v2+xml; charset=utf-8";
        create.accept =
            kProgramXml;
        create.body =
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?><program:abapProgram "
            "xmlns:program=\"http://www.sap.com/adt/programs/programs\" "
            "xmlns:adtcore=\"http://www.sap.com/adt/core\" adtcore:type=\"PROG/P\" adtcore:name=\"" +
            xmlEscaped(name) + "\" adtcore:description=\"" + xmlEscaped(request.title) +
            "\" adtcore:language=\"EN\" adtcore:masterLanguage=\"EN\" adtcore:responsible=\"" +
            xmlEscaped(repositoryName(session_.user())) + "\"><adtcore:packageRef adtcore:name=\"" +
            xmlEscaped(package) + "\"/></program:abapProgram>";
        auto created = session_.send(create);
        if (!created) return created.failure();
        if (created->status / 100 != 2) {
            // Created meanwhile by someone else: SAP says "already exists".
            if (exceptionMessage(*created).find("already exists") != std::string::npos) return nameTaken(name, result);
            return adtFailure(*created, "creating program " + name + " failed");
        }
        return {};
    }

    // The source under a lock; the lock is given back whatever happens once
    // it was taken, and the context ended.
    Status storeSource(const std::string& name, const std::string& uri, const InstallRequest& request,
                       InstallResult& result) {
        AdtRequest lock;
        lock.method = "POST";
        lock.path = uri;
        lock.query = {{"_action", "LOCK"}, {"accessMode", "MODIFY"}};
        lock.accept = "application/vnd.sap.as+xml;charset=UTF-8;dataname=com.sap.adt.lock.result";
        lock.stateful = true;  // a refused token may still be renewed: nothing is locked yet
        auto locked = sendToEnd(lock);
        // From the granted lock to the UNLOCK, every request stays in the lock's context.
        session_.setLockWindow(locked && locked->status == 200);
        Status status;
        if (!locked) {
            status = locked.failure();
        } else if (locked->status != 200) {
            status = adtFailure(*locked, "program " + name + " could not be locked");
        } else {
            const std::string handle = asxValue(locked->body, "LOCK_HANDLE");
            std::string transport = request.transport;
            if (transport.empty()) transport = asxValue(locked->body, "CORRNR");
            status = handle.empty()
                         ? Status(failure(FailureKind::Reply, "the lock of " + name + " came without a handle",
                                          locked->body.substr(0, 200)))
                         : writeSource(name, uri, handle, transport, request, result);
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
        end.path = uri;
        end.accept = kProgramXml;
        end.afterCancel = true;
        auto ended = sendToEnd(end);
        if (status && !ended) status = ended.failure();
        return status;
    }

    // Checks the new source and writes it under the lock.
    Status writeSource(const std::string& name, const std::string& uri, const std::string& handle,
                       const std::string& transport, const InstallRequest& request, InstallResult& result) {
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
        if (doc.load_string(checked->body.c_str())) {
            eachNamed(doc, "checkMessage", [&](pugi::xml_node m) {
                SapMessage message;
                message.type = attribute(m, "type");
                message.text = attribute(m, "shortText");
                readPosition(attribute(m, "uri"), message);
                result.sapMessages.push_back(std::move(message));
            });
        }

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

    // A 423 right after the lock was granted.
    Status lockLost(const std::string& name, const AdtResponse& response) {
        Failure lost = adtFailure(response, "the lock on " + name + " was lost before the source was stored");
        // Releases before 7.51 (they lack element info) keep no ADT session over HTTP.
        if (session_.discovery().find("/sap/bc/adt/ddic/elementinfo") == std::string::npos)
            lost.reason = "the system dropped the lock on " + name +
                          " right after granting it: SAP releases before 7.51 keep no ADT session over HTTP, so "
                          "they cannot store a program this way; use an RFC road (SAP's RFC library or the SOAP "
                          "service) for this system";
        return lost;
    }

    Status activate(const std::string& name, std::vector<SapMessage>& found) {
        AdtRequest request;
        request.method = "POST";
        request.path = "/sap/bc/adt/activation";
        request.query = {{"method", "activate"}, {"preauditRequested", "true"}};
        request.contentType = "application/xml";
        request.accept = "application/xml";
        request.body =
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?><adtcore:objectReferences "
            "xmlns:adtcore=\"http://www.sap.com/adt/core\"><adtcore:objectReference adtcore:uri=\"" +
            std::string(kPrograms) + percentEncoded(lower(name)) + "\" adtcore:name=\"" + xmlEscaped(name) +
            "\"/></adtcore:objectReferences>";
        auto answer = session_.send(request);
        if (answer && answer->contentType.find("inactivectsobjects") != std::string::npos) {
            // The pre-audit lists the inactive objects: activate without it.
            request.query = {{"method", "activate"}, {"preauditRequested", "false"}};
            answer = session_.send(request);
        }
        if (!answer) return answer.failure();
        if (answer->status != 200) return adtFailure(*answer, "activating " + name + " failed");
        if (answer->contentType.find("inactivectsobjects") != std::string::npos)
            return failure(FailureKind::Function, "the activation left " + name + " inactive",
                           "HTTP 200, inactive objects listed twice");
        pugi::xml_document doc;
        if (!doc.load_string(answer->body.c_str()))
            return failure(FailureKind::Reply, "the activation's answer is not XML", "HTTP 200");
        eachNamed(doc, "msg", [&](pugi::xml_node m) {
            SapMessage message;
            message.type = attribute(m, "type");
            message.text = firstNamed(m, "txt").text().as_string();
            if (message.text.empty()) message.text = "Syntax error";
            readPosition(attribute(m, "href"), message);
            found.push_back(std::move(message));
        });
        return {};
    }

    // A Cancel ends the request in flight, except the three whose answer the
    // lock's fate hangs on: the LOCK (a lock granted while its answer is cut
    // off could not be given back, its handle unknown), the UNLOCK and the
    // request that ends the lock's context. During those it waits, and takes
    // effect as soon as they have their answer.
    void cancel() override {
        std::lock_guard lock(cancelMutex_);
        if (runningToEnd_)
            cancelAfter_ = true;
        else
            session_.cancel();
    }

    Result<AdtResponse> sendToEnd(const AdtRequest& request) {
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

    AdtSession session_;
    std::mutex cancelMutex_;  // cancel() comes from another thread
    bool runningToEnd_ = false;
    bool cancelAfter_ = false;
};

}  // namespace

std::unique_ptr<Operations> makeAdtOperations(const LogonValues& logon, AdtOptions options) {
    return std::make_unique<AdtOperations>(logon, std::move(options));
}

bool adtAnswers(const ConnectionProperties& props, std::string& answer) {
    const AdtAddress address = adtAddress(props);
    if (!address.valid) {
        answer = address.error;
        return false;
    }
    std::unique_ptr<httplib::ClientImpl> client;
    if (address.https)
        client = std::make_unique<httplib::SSLClient>(address.host, address.port);
    else
        client = std::make_unique<httplib::ClientImpl>(address.host, address.port);
    client->set_connection_timeout(std::chrono::seconds(5));
    client->set_read_timeout(std::chrono::seconds(10));
    client->set_follow_location(false);
    auto res = client->Get((address.prefix + "/sap/bc/adt/discovery?sap-client=" + percentEncoded(props.Client) +
                            "&sap-language=" + percentEncoded(props.Language) + "&saml2=disabled")
                               .c_str());
    if (!res) {
        answer = "GET /sap/bc/adt/discovery: " + httplib::to_string(res.error());
        return false;
    }
    answer = "GET /sap/bc/adt/discovery answered " + std::to_string(res->status);
    return res->status == 200 || res->status == 401 || res->status == 403;
}

}  // namespace orvex::sap::adt
