#pragma once
// A stand-in for SAP's ADT service, served on a free loopback port over the
// embedded sandbox's data: the programs and the dictionary are the sandbox's,
// reached through its function modules. Strict where SAP is known to be:
// every request needs basic authentication, client, language and
// "saml2=disabled"; writes need the session's CSRF token (403 "Required"
// otherwise); locks live in the stateful context that took them, a
// stateless request ends its context, and a handle from another context
// gets 423; the activation answers 200 also when it finds errors. Every
// request is recorded for the tests to read.
// It answers in the shapes captured from real systems: session and context
// cookies carry percent-escapes and count only when sent back byte for byte;
// a successful activation is an empty 200 (after the pre-audit's list of
// inactive objects, when asked for); the quick search lets structures
// (TABL/DS) through, unsorted and without package or description; the
// transport check lists other users' and released requests, and a lock
// holder's request for an object recorded in one; check messages at a
// line's start come as "#start=L" with no column. The data preview (the SQL
// console) needs the table type in Accept (406 otherwise) and a text/plain
// body, refuses a field list without commas, INTO and UP TO (it adds those
// itself), and answers column by column with escaped texts, empty values,
// labels or totalRows missing, totalRows 0 over rows. A program's text
// elements (not on 7.50 and before: 404) have a lock of their own (a PUT
// under the program's lock gets 423), take their symbols only in their own
// media type (406 otherwise) with an "@MaxLength:N" line before each symbol
// (406 without), and reach the sandbox's text pool when activated. The answers' text is in the
// files of answers/, as captured, with "{KEY}" where the double fills in a value.
#include <httplib.h>
#include <openssl/evp.h>
#include <pugixml.hpp>

#include <fnmatch.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <ranges>
#include <set>
#include <string>
#include <condition_variable>
#include <sstream>
#include <thread>
#include <type_traits>
#include <vector>

#include "sap/InstallProgram.h"
#include "tests/adt/RawHeaderRelay.h"
#include "sap/sandbox/SandboxSystem.h"
#include "sap/TableReads.h"
#include "common/Text.h"
#include "tests/support/TempDir.h"

namespace orvex::testing {

struct AdtRecord {
    std::string method, path;
    std::multimap<std::string, std::string> query;  // decoded
    std::string sessionType, token, cookie, authorization, body;
    int status = 0;
    std::string param(const std::string& name) const {
        auto it = query.find(name);
        return it == query.end() ? std::string() : it->second;
    }
};

class AdtDouble {
public:
    // Answers a request before the double does: true when it has answered.
    using Fault = std::function<bool(const AdtRecord&, httplib::Response&)>;

    explicit AdtDouble(const std::string& databasePath) : sandbox_(std::move(*sap::SandboxSystem::open(databasePath))) {
        auto handler = [this](const httplib::Request& req, httplib::Response& res) { handle(req, res); };
        server_.set_tcp_nodelay(true);
        server_.Get(".*", handler);
        server_.Post(".*", handler);
        server_.Put(".*", handler);
        server_.Delete(".*", handler);
        // Bound and listening here: connections wait until the thread accepts them.
        const int backend = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        relay_ = std::make_unique<RawHeaderRelay>(backend);
    }
    ~AdtDouble() {
        releasePreviews();
        relay_.reset();
        server_.stop();
        thread_.join();
    }

    int port() const { return relay_->port(); }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port()) + "/sap/bc/adt"; }
    sap::SandboxSystem& sandbox() { return *sandbox_; }

    // Release 7.50: no element info, and the stateful header is ignored.
    std::atomic<bool> legacy{false};
    // Release 7.40 as its discovery document shows it: no element info, no
    // data preview, no dictionary table resources, and the transport checks
    // outside /sap/bc/adt; the paths it does not list answer 404 "No suitable
    // resource found". Its stateful sessions are kept (legacy drops them too).
    std::atomic<bool> release740{false};
    // A refused token answers 401 with an HTML page instead of 403.
    std::atomic<bool> staleToken401{false};
    // The activation answers the pre-audit's list of inactive objects first.
    std::atomic<bool> preaudit{false};
    // Answers as the double did before it learned the real shapes (cookies
    // without escapes, an activation with a body, no structures, only the
    // user's requests): for measuring an earlier client against the same server.
    std::atomic<bool> earlierShapes{false};

    // The discovery document lists the data preview, but its path answers
    // 404: a system without the SQL console.
    std::atomic<bool> noSqlConsole{false};
    // A preview runs: every request but a GET or a data preview is refused
    // and counted (writesTried), for the tests that nothing is written.
    std::atomic<bool> previewOnly{false};
    std::size_t writesTried() const { return writesTried_; }
    // The user may not display `table`.
    void denyTable(const std::string& table) { locked([&] { deniedTables_.insert(table); }); }
    // Holds every data preview's answer until the next releasePreviews() (or
    // the end of the double); waitForHeldPreview() returns once one is held.
    void holdPreviews() {
        std::lock_guard lock(holdMutex_);
        holding_ = true;
    }
    void releasePreviews() {
        {
            std::lock_guard lock(holdMutex_);
            holding_ = false;
            ++releases_;
        }
        held_.notify_all();
    }
    void waitForHeldPreview() {
        std::unique_lock lock(holdMutex_);
        held_.wait(lock, [this] { return waiting_ > 0; });
    }

    void setFault(Fault fault) { locked([&] { fault_ = std::move(fault); }); }
    // The toy syntax check flags every line holding this word.
    void denyWord(const std::string& word) { locked([&] { deny_ = word; }); }
    void addInclude(const std::string& name) { locked([&] { includes_.insert(name); }); }
    // A package that needs a request, and the logon user's modifiable
    // requests for it; the transport check also lists a request of USER1
    // and a released one.
    void transportable(const std::string& package, std::vector<std::string> requests) {
        locked([&] { transportable_[package] = std::move(requests); });
    }
    // Program `name` is recorded in `request` of `owner` already: the
    // transport check names that lock holder and no requests.
    void recordedIn(const std::string& name, const std::string& request, const std::string& owner) {
        locked([&] { recorded_[name] = {request, owner}; });
    }
    void expireTokens() {
        locked([&] { for (auto& [id, token] : sessions_) token.clear(); });
    }
    // Ends every stateful context (a server timeout): their locks go with them.
    void endContexts() {
        std::lock_guard lock(mutex_);
        contexts_.clear();
        dropLocksOfDeadContexts();
    }
    // Another user holds the lock on `name`.
    void lockByOther(const std::string& name) {
        std::lock_guard lock(mutex_);
        locks_[name] = {"OTHERHANDLE", "other"};
        contexts_.insert("other");
    }
    // Stateful contexts still open, another user's left out.
    std::size_t openContexts() const { return locked([&] { return contexts_.size() - contexts_.count("other"); }); }
    std::vector<AdtRecord> requests() const { return locked([&] { return records_; }); }
    std::string packageOf(const std::string& name) const { return locked([&] { return programOf(name).package; }); }
    std::string requestOf(const std::string& name) const { return locked([&] { return programOf(name).corrNr; }); }

    // Answer file `name` with each "{KEY}" of `values` filled in.
    static std::string answer(const std::string& name, const std::map<std::string, std::string>& values = {}) {
        static const std::filesystem::path folder = ORVEX_ADT_ANSWERS;
        std::string text = TempDir::read((folder / name).string());
        for (std::size_t at = text.find('{'); at != std::string::npos; at = text.find('{', at)) {
            auto value = values.find(text.substr(at + 1, text.find('}', at) - at - 1));
            if (value == values.end()) {
                ++at;
                continue;
            }
            text.replace(at, value->first.size() + 2, value->second);
            at += value->second.size();
        }
        return text;
    }

private:
    struct Lock {
        std::string handle, context;
    };
    struct Program {
        std::string package, corrNr, title;
    };

    // Runs `f` under the double's lock.
    template <class F>
    std::invoke_result_t<F&> locked(F f) const {
        std::lock_guard lock(mutex_);
        return f();
    }
    Program programOf(const std::string& name) const {
        auto it = programs_.find(name);
        return it == programs_.end() ? Program{} : it->second;
    }

    // Text for an attribute value.
    static std::string xmlText(const std::string& s) {
        std::string out;
        for (char c : s) out += c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '"' ? "&quot;" : std::string(1, c);
        return out;
    }
    // The attribute `name` of `node`, whatever prefix it carries.
    static std::string attr(pugi::xml_node node, std::string_view name) {
        for (pugi::xml_attribute a : node.attributes()) {
            const std::string_view full = a.name();
            if (full.substr(full.find(':') + 1) == name) return a.value();  // no colon: npos + 1 is 0
        }
        return {};
    }
    static void send(httplib::Response& res, int status, const std::string& body, const char* type) {
        res.status = status;
        res.set_content(body, type);
    }
    // A 200 answer: answer file `name` filled in, of content type `type`.
    static void xml(httplib::Response& res, const std::string& name, const std::map<std::string, std::string>& values,
                    const char* type) {
        send(res, 200, answer(name, values), type);
    }
    static void fail(httplib::Response& res, int status, const std::string& type, const std::string& message) {
        send(res, status, answer("exception.xml", {{"TYPE", type}, {"MESSAGE", message}}), "application/xml");
    }
    static std::string decodedBase64(const std::string& text) {
        std::string out(text.size() / 4 * 3 + 3, '\0');
        int n = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
        if (n < 0) return {};
        std::size_t size = static_cast<std::size_t>(n);
        for (std::size_t i = text.size(); i > 0 && text[i - 1] == '='; --i) --size;
        out.resize(size);
        return out;
    }
    // The pieces of `text` between `separator`s, the empty ones too.
    static std::vector<std::string> split(const std::string& text, char separator) {
        std::vector<std::string> out;
        for (auto part : std::views::split(text, separator)) out.emplace_back(part.begin(), part.end());
        return out;
    }
    static std::map<std::string, std::string> cookies(const std::string& header) {
        std::map<std::string, std::string> out;
        for (std::string pair : split(header, ';')) {
            pair.erase(0, pair.find_first_not_of(' '));
            if (auto eq = pair.find('='); eq != std::string::npos) out[pair.substr(0, eq)] = pair.substr(eq + 1);
        }
        return out;
    }

    // The repository's directory rows that `condition` picks.
    sap::RfcRows tadir(const std::string& condition) {
        sap::RfcRequest read{"RFC_READ_TABLE", {{"QUERY_TABLE", "TADIR"}, {"DELIMITER", "|"}}, {}};
        for (const std::string& row : sap::conditionRows(condition)) read.tables["OPTIONS"].emplace_back().set("TEXT", row);
        return sandbox_->call(read).value_or({}).tables["DATA"];
    }
    bool programExists(const std::string& name) { return !tadir(sap::programNameCondition(name)).empty(); }
    bool store(const std::string& name, const std::string& title, const std::vector<std::string>& source) {
        sap::RfcRequest insert{"BC_PR_INSERT", {{"PROGRAM_NAME", name}, {"TITLE_STRING", title}}, {}};
        for (const std::string& line : source) insert.tables["SOURCE"].emplace_back().set("LINE", line);
        return sandbox_->call(insert, "DEVELOPER").ok();
    }
    std::vector<sap::SapMessage> check(const std::vector<std::string>& lines) const {
        std::vector<sap::SapMessage> found;
        if (deny_.empty()) return found;
        for (std::size_t i = 0; i < lines.size(); ++i)
            if (auto at = lines[i].find(deny_); at != std::string::npos)
                found.push_back(
                    {"E", static_cast<int>(i + 1), static_cast<int>(at), "Field \"" + deny_ + "\" is unknown."});
        return found;
    }
    static std::vector<std::string> lines(const std::string& text) { return split(text, '\n'); }
    // A message's place in a URI fragment: "#start=L" at a line's start,
    // otherwise "#start=L,C" (C from 0), in a check run with its end.
    std::string position(const sap::SapMessage& m, bool withEnd) const {
        if (m.column == 0 && !earlierShapes) return "#start=" + std::to_string(m.line);
        std::string place = "#start=" + std::to_string(m.line) + "," + std::to_string(m.column);
        if (withEnd && !earlierShapes)
            place += ";end=" + std::to_string(m.line) + "," + std::to_string(m.column + static_cast<int>(deny_.size()));
        return place;
    }

    void dropLocksOfDeadContexts() {
        std::erase_if(locks_, [this](const auto& held) { return !contexts_.count(held.second.context); });
    }
    void endContext(const std::string& id) {
        contexts_.erase(id);
        dropLocksOfDeadContexts();
    }

    void handle(const httplib::Request& req, httplib::Response& res) {
        const AdtRecord record{req.method, req.path, {req.params.begin(), req.params.end()},
                               req.get_header_value("X-sap-adt-sessiontype"), req.get_header_value("x-csrf-token"),
                               req.get_header_value("X-Raw-Cookie"), req.get_header_value("Authorization"), req.body};
        if (record.method == "POST" && record.path == kFreestyle) {
            std::unique_lock lock(holdMutex_);
            if (holding_) {
                ++waiting_;
                held_.notify_all();
                held_.wait(lock, [this, mine = releases_] { return releases_ != mine; });
                --waiting_;
            }
        }
        const auto [index, fault] = locked([&] {
            records_.push_back(record);
            return std::pair(records_.size() - 1, fault_);
        });
        if (!(fault && fault(record, res))) locked([&] { answer(record, req, res); });
        locked([&, at = index] { records_[at].status = res.status; });
    }

    void answer(const AdtRecord& r, const httplib::Request& req, httplib::Response& res) {
        if (r.param("saml2") != "disabled") {
            res.status = 302;
            res.set_header("Location", "https://idp.example.invalid/saml2/sso");
            return;
        }
        const std::string pair = r.authorization.rfind("Basic ", 0) == 0 ? decodedBase64(r.authorization.substr(6)) : "";
        const std::size_t colon = pair.find(':');
        const std::string client = r.param("sap-client");
        if (colon == std::string::npos || !sandbox_->checkLogon(pair.substr(0, colon), pair.substr(colon + 1), client)) {
            res.set_header("WWW-Authenticate", "Basic realm=\"SAP NetWeaver Application Server\"");
            return send(res, 401, answer("logon-failed.html"), "text/html");
        }
        if (client.empty() || r.param("sap-language").empty())
            return send(res, 400, "sap-client and sap-language are required here", "text/plain");
        // Cookies count as they were set, percent-escapes and all.
        auto jar = cookies(r.cookie);
        const std::string sessionCookie = "SAP_SESSIONID_SBX_" + client;
        std::string session = jar[sessionCookie];
        if (!sessions_.count(session)) {
            const std::string id = std::to_string(++counter_);
            session = earlierShapes ? "S" + id : "aW5zdGFuY2Ux" + id + "X2RldmVsb3Blcg%3d%3d";
            sessions_[session];
            res.set_header("Set-Cookie", sessionCookie + "=" + session + "; path=/");
        }
        // The stateful context of this request; a stateless one ends the context it names.
        const std::string named = jar["sap-contextid"];
        if (!named.empty() && named != "0" && !contexts_.count(named)) {
            res.headers.emplace("Set-Cookie", "sap-contextid=0; path=/sap/bc/adt");
            return send(res, 400, answer("session-timed-out.html"), "text/html");
        }
        std::string& token = sessions_[session];
        if (r.method == "GET" && text::upper(r.token) == "FETCH") {
            if (token.empty()) token = "TOKEN" + std::to_string(++counter_) + "==";
            res.set_header("x-csrf-token", token);
        } else if (r.method != "GET" && (token.empty() || r.token != token)) {
            // Refused before any context is opened or ended.
            if (staleToken401) return send(res, 401, answer("logon-form.html"), "text/html");
            res.set_header("x-csrf-token", "Required");
            return send(res, 403, "CSRF token validation failed", "text/plain");
        }
        std::string context;
        bool temporary = false;
        if (r.sessionType == "stateful" && !legacy) {
            context = contexts_.count(named) ? named : std::string();
            if (context.empty()) {
                const std::string id = std::to_string(++counter_);
                context = earlierShapes ? "C" + id : "SID%3aANON%3asapsbx_SBX_00%3a" + id + "AbCdEf-NEW";
                contexts_.insert(context);
                res.headers.emplace("Set-Cookie", "sap-contextid=" + context + "; path=/sap/bc/adt");
            }
        } else {
            if (contexts_.count(named)) {
                endContext(named);
                res.headers.emplace("Set-Cookie", "sap-contextid=0; path=/sap/bc/adt");
            }
            context = "T" + std::to_string(++counter_);
            contexts_.insert(context);
            temporary = true;
        }
        route(r, req, res, context);
        if (temporary) endContext(context);
    }

    void route(const AdtRecord& r, const httplib::Request& req, httplib::Response& res, const std::string& context) {
        const std::string programs = "/sap/bc/adt/programs/programs";
        const std::string& p = r.path;
        const bool preview = r.method == "POST" && p == kFreestyle;
        if (previewOnly && r.method != "GET" && !preview) {
            ++writesTried_;
            return fail(res, 403, "ExceptionResourceNoAccess", "Nothing is written, locked or created by a preview");
        }
        if (preview && !noSqlConsole && !release740) return freestyle(r, req, res);
        if (r.method == "GET" && p == "/sap/bc/adt/discovery")
            return xml(res, release740 ? "discovery-740.xml" : legacy ? "discovery-750.xml" : "discovery.xml", {},
                       "application/atomsvc+xml");
        if (r.method == "GET" && p == "/sap/bc/adt/repository/informationsystem/search") return search(r, res);
        if (r.method == "GET" && p == "/sap/bc/adt/ddic/elementinfo" && !legacy && !release740) return elementInfo(r, res);
        if (r.method == "GET" && p.rfind("/sap/bc/adt/ddic/tables/", 0) == 0 && p.size() > 36 &&
            p.compare(p.size() - 12, 12, "/source/main") == 0)
            return tableSource(text::upper(p.substr(24, p.size() - 36)), res);
        if (r.method == "POST" && p == "/sap/bc/adt/programs/validation") return validation(r, res);
        if (r.method == "POST" && p == programs) return create(r, res);
        if (r.method == "POST" && p == "/sap/bc/adt/checkruns") return checkRun(r, res);
        if (r.method == "POST" && p == "/sap/bc/adt/activation") return activation(r, res);
        if (r.method == "POST" && p == "/sap/bc/adt/cts/transportchecks" && !release740) return transportCheck(r, res);
        if (r.method == "GET" && p.rfind("/sap/bc/adt/programs/includes/", 0) == 0) {
            const std::string name = text::upper(p.substr(std::string("/sap/bc/adt/programs/includes/").size()));
            if (!includes_.count(name))
                return fail(res, 404, "ExceptionResourceNotFound", "Include " + name + " does not exist");
            return xml(res, "include.xml", {{"NAME", name}}, "application/vnd.sap.adt.programs.includes.v2+xml");
        }
        if (p.rfind(kTextElements, 0) == 0 && !legacy && !release740) return textElements(r, req, res, context);
        if (p.rfind(programs + "/", 0) == 0) {
            std::string rest = p.substr(programs.size() + 1);
            const bool source = rest.size() > 12 && rest.compare(rest.size() - 12, 12, "/source/main") == 0;
            if (source) rest.erase(rest.size() - 12);
            const std::string name = text::upper(rest);
            if (r.method == "GET" && !source) return program(name, res);
            if (r.method == "POST" && r.param("_action") == "LOCK") return lock(name, res, context);
            if (r.method == "POST" && r.param("_action") == "UNLOCK") return unlock(name, r, res, context);
            if (r.method == "PUT" && source) return write(name, r, req, res, context);
        }
        fail(res, 404, "ExceptionResourceNotFound", "No suitable resource found");
    }

    // The SQL console: runs one SELECT of a table it knows with the row limit.
    void freestyle(const AdtRecord& r, const httplib::Request& req, httplib::Response& res) {
        if (req.get_header_value("Accept").find("application/vnd.sap.adt.datapreview.table.v1+xml") == std::string::npos)
            return fail(res, 406, "ExceptionNotAcceptable", "No suitable representation found for the requested media type");
        if (req.get_header_value("Content-Type").rfind("text/plain", 0) != 0)
            return fail(res, 415, "ExceptionUnsupportedMediaType", "The media type of the request is not supported");
        const std::string limit = r.param("rowNumber");
        if (limit.empty() || limit.size() > 6 || limit.find_first_not_of("0123456789") != std::string::npos)
            return fail(res, 400, "ExceptionInvalidData", "Parameter rowNumber could not be found.");
        std::string sql = text::upper(r.body);
        std::replace_if(sql.begin(), sql.end(), [](char c) { return c == '\n' || c == '\r' || c == '\t'; }, ' ');
        const std::size_t from = sql.find(" FROM ");
        if (sql.rfind("SELECT ", 0) != 0 || from == std::string::npos)
            return fail(res, 400, "ExceptionDataPreviewSyntax", "Only one SELECT statement can be run");
        if (sql.find(" INTO ") != std::string::npos || sql.find(" UP TO ") != std::string::npos)
            return fail(res, 400, "ExceptionDataPreviewSyntax", "INTO and UP TO are added by the SQL console: leave them out");
        const std::string list = sql.substr(7, from - 7);
        if (list.find(',') == std::string::npos && list.find_first_of(" ") != std::string::npos &&
            list.rfind("DISTINCT ", 0) != 0)
            return fail(res, 400, "ExceptionDataPreviewSyntax",
                        "The elements in the SELECT list must be separated using commas.");
        std::string table = sql.substr(from + 6);
        table = table.substr(0, table.find(' '));
        if (deniedTables_.count(table))
            return fail(res, 400, "ExceptionResourceNoAuthorization", "You are not authorized to display table " + table);
        auto known = previewTables_.find(table);
        if (known == previewTables_.end())
            return fail(res, 400, "ExceptionDataPreviewSyntax",
                        "\"" + table + "\" is not defined in the ABAP Dictionary as a table, projection view, or database view.");
        const std::string ran = r.body + " INTO TABLE @DATA(LT_RESULT) UP TO " + limit + " ROWS";
        if (list == "COUNT(*)")
            return xml(res, "datapreview-count.xml", {{"QUERY", xmlText(ran)}, {"COUNT", std::to_string(known->second.second)}},
                       "application/vnd.sap.adt.datapreview.table.v1+xml; charset=utf-8");
        std::string body = answer(known->second.first, {{"QUERY", xmlText(ran)}});
        const std::size_t rows = std::stoul(limit);
        pugi::xml_document doc;
        doc.load_string(body.c_str());
        bool cut = false;
        for (pugi::xml_node column : doc.document_element().children("dataPreview:columns")) {
            pugi::xml_node set = column.child("dataPreview:dataSet");
            std::size_t n = 0;
            for (pugi::xml_node data = set.first_child(); data;) {
                pugi::xml_node next = data.next_sibling();
                if (++n > rows) cut = set.remove_child(data);
                data = next;
            }
        }
        if (cut) {
            std::ostringstream out;
            doc.save(out, "", pugi::format_raw);
            body = out.str();
        }
        send(res, 200, body, "application/vnd.sap.adt.datapreview.table.v1+xml; charset=utf-8");
    }

    void program(const std::string& name, httplib::Response& res) {
        if (!programExists(name))
            return fail(res, 404, "ExceptionResourceNotFound", "Program " + name + " does not exist");
        // The object's attributes, not its source: SAP answers this from the directory.
        sap::SandboxProgram stored;  // empty when not listed
        for (sap::SandboxProgram& listed : sandbox_->programs().value_or({}))
            if (listed.name == name) stored = std::move(listed);
        // Real answers also carry the title and the last change.
        const std::string& on = stored.changedOn;
        xml(res, "program.xml",
            {{"NAME", name}, {"VERSION", stored.active ? "active" : "inactive"}, {"DESCRIPTION", xmlText(stored.title)},
             {"CHANGED", on.size() == 8 ? on.substr(0, 4) + "-" + on.substr(4, 2) + "-" + on.substr(6, 2) : on},
             {"AUTHOR", stored.author}},
            "application/vnd.sap.adt.programs.programs.v2+xml");
    }

    void validation(const AdtRecord& r, httplib::Response& res) {
        for (const char* required : {"objname", "objtype", "packagename"})
            if (!r.query.count(required))
                return fail(res, 400, "ExceptionInvalidData", std::string("Parameter ") + required + " could not be found.");
        const std::string name = text::upper(r.param("objname"));
        std::string error;
        if (programExists(name) || includes_.count(name))
            error = "A program or include already exists with the name " + name;
        else if (name.size() > 30)
            error = "The name " + name + " is longer than 30 characters";
        else if (name.empty() || (name[0] != 'Z' && name[0] != 'Y'))
            error = "The name " + name + " is not in the customer name space";
        xml(res, error.empty() ? "validation.xml" : "validation-refused.xml", {{"TEXT", error}}, "application/vnd.sap.as+xml");
    }

    void search(const AdtRecord& r, httplib::Response& res) {
        if (r.param("operation") != "quickSearch" || r.param("objectType") != "TABL/DT")
            return fail(res, 400, "ExceptionInvalidData", "Only the quick search of transparent tables is served here");
        std::string like;
        for (char c : r.param("query")) like += c == '*' ? '%' : c;
        const std::size_t max = std::stoul(r.param("maxResults").empty() ? "100" : r.param("maxResults"));
        std::vector<std::pair<std::string, std::string>> rows;  // name, type
        for (const sap::RfcRow& row : tadir(sap::tableSearchCondition(text::upper(like))))
            rows.emplace_back(text::trimSpacesEnd(sap::objectName(row.get("WA"))), "TABL/DT");
        if (!earlierShapes) {
            std::string glob = text::upper(like);
            std::replace(glob.begin(), glob.end(), '%', '*');
            // Structures come along, and the server's order is not the names'.
            for (const std::string& name : structures_)
                if (::fnmatch(glob.c_str(), name.c_str(), 0) == 0)
                    rows.emplace(rows.begin() + static_cast<long>(rows.size() / 2), name, "TABL/DS");
            std::reverse(rows.begin(), rows.end());
        }
        std::string refs;
        for (std::size_t n = 0; n < rows.size() && n < max; ++n) {
            const auto& [name, type] = rows[n];
            refs += answer(type == "TABL/DS" ? "search-structure.xml" : n % 2 ? "search-table-bare.xml" : "search-table.xml",
                           {{"NAME", name}});
        }
        xml(res, "search.xml", {{"REFERENCES", refs}}, "application/xml");
    }

    void elementInfo(const AdtRecord& r, httplib::Response& res) {
        const std::string table = text::upper(r.param("path"));
        sap::RfcResult got = sandbox_->call({"DD_TABL_GET", {{"TABL_NAME", table}, {"WITHTEXT", "X"}}, {}});
        if (!got) return fail(res, 404, "ExceptionResourceNotFound", "Table " + table + " does not exist");
        std::string fields;
        for (const sap::RfcRow& f : got->tables["DD03P_TAB_A"])
            fields += answer("elementinfo-field.xml",
                             {{"NAME", f.get("FIELDNAME")}, {"TYPE", f.get("FIELDNAME").rfind(".", 0) ? "TABL/DTF" : "TABL/DTI"},
                              {"LABEL", f.get("SCRTEXT_L")}, {"KEY", f.get("KEYFLAG")}, {"ELEMENT", f.get("ROLLNAME")},
                              {"DATATYPE", f.get("DATATYPE")}, {"LENGTH", std::to_string(std::stoi("0" + f.get("LENG")))},
                              {"DECIMALS", std::to_string(std::stoi("0" + f.get("DECIMALS")))}});
        xml(res, "elementinfo.xml", {{"NAME", table}, {"FIELDS", fields}}, "application/vnd.sap.adt.elementinfo+xml");
    }

    // "define table" source as SAP writes it: lower-case names, the currency and
    // unit fields as annotations on the line before their amount or quantity.
    void tableSource(const std::string& table, httplib::Response& res) {
        sap::RfcResult got = sandbox_->call({"DD_TABL_GET", {{"TABL_NAME", table}, {"WITHTEXT", "X"}}, {}});
        if (!got) return fail(res, 404, "ExceptionResourceNotFound", "Table " + table + " does not exist");
        std::string source = "@EndUserText.label : 'Table'\n@AbapCatalog.tableCategory : #TRANSPARENT\n"
                             "define table " + text::lower(table) + " {\n";
        for (const sap::RfcRow& f : got->tables["DD03P_TAB_A"]) {
            if (f.get("FIELDNAME").rfind(".", 0) == 0) continue;
            if (!f.get("REFFIELD").empty())
                source += std::string("  @Semantics.") +
                          (f.get("DATATYPE") == "CURR" ? "amount.currencyCode" : "quantity.unitOfMeasure") + " : '" +
                          text::lower(f.get("REFTABLE")) + "." + text::lower(f.get("REFFIELD")) + "'\n";
            source += std::string("  ") + (f.get("KEYFLAG") == "X" ? "key " : "") + text::lower(f.get("FIELDNAME")) +
                      " : " + text::lower(f.get("ROLLNAME")) + (f.get("KEYFLAG") == "X" ? " not null;\n" : ";\n");
        }
        res.status = 200;
        res.set_content(source + "}\n", "text/plain");
    }

    void create(const AdtRecord& r, httplib::Response& res) {
        pugi::xml_document doc;
        if (!doc.load_string(r.body.c_str()) || std::strcmp(doc.document_element().name(), "program:abapProgram") != 0)
            return fail(res, 400, "ExceptionInvalidData", "The body is not a program:abapProgram document");
        pugi::xml_node root = doc.document_element();
        const std::string name = text::upper(attr(root, "name"));
        const std::string title = attr(root, "description");
        const std::string package = attr(root.child("adtcore:packageRef"), "name");
        const std::string corrNr = r.param("corrNr");
        if (programExists(name) || includes_.count(name))
            return fail(res, 500, "ExceptionResourceCreationFailure",
                        "A program or include already exists with the name " + name);
        if (auto t = transportable_.find(package); t != transportable_.end()) {
            if (corrNr.empty()) return fail(res, 500, "ExceptionResourceCreationFailure", "Missing correction number");
            if (std::find(t->second.begin(), t->second.end(), corrNr) == t->second.end())
                return fail(res, 403, "ExceptionResourceNoAuthorization", "Task/request " + corrNr + " does not exist");
        } else if (package != "$TMP") {
            return fail(res, 404, "ExceptionResourceNotFound", "Package " + package + " does not exist");
        }
        if (!store(name, title, {"REPORT " + name + "."}))
            return fail(res, 500, "ExceptionResourceCreationFailure", "Program " + name + " cannot be created");
        programs_[name] = {package, corrNr, title};
        res.status = 201;
    }

    // The lock on program `name`, or on its text elements (`name` + kTextsLock).
    void lock(const std::string& name, httplib::Response& res, const std::string& context) {
        const std::string program = name.substr(0, name.find('#'));
        if (!programExists(program))
            return fail(res, 404, "ExceptionResourceNotFound", "Program " + program + " does not exist");
        if (auto held = locks_.find(name); held != locks_.end() && held->second.context != context)
            return fail(res, 403, "ExceptionResourceNoAccess", "User OTHER is currently editing " + name);
        const std::string handle = "LH+" + std::to_string(++counter_) + "/A=";
        locks_[name] = {handle, context};
        const bool local = programs_[program].corrNr.empty();
        xml(res, "lock.xml",
            {{"HANDLE", handle}, {"REQUEST", programs_[program].corrNr}, {"OWNER", local ? "" : "DEVELOPER"},
             {"TEXT", local ? "" : "Reports"}, {"LOCAL", local ? "X" : ""}},
            "application/vnd.sap.as+xml; charset=utf-8; dataname=com.sap.adt.lock.Result");
    }

    bool holds(const std::string& name, const std::string& handle, const std::string& context) const {
        auto held = locks_.find(name);
        return held != locks_.end() && held->second.handle == handle && held->second.context == context;
    }

    void unlock(const std::string& name, const AdtRecord& r, httplib::Response& res, const std::string& context) {
        if (holds(name, r.param("lockHandle"), context)) locks_.erase(name);
        res.status = 200;
    }

    void write(const std::string& name, const AdtRecord& r, const httplib::Request&, httplib::Response& res,
               const std::string& context) {
        const std::string handle = r.param("lockHandle");
        if (!holds(name, handle, context))
            return fail(res, 423, "ExceptionResourceInvalidLockHandle",
                        "Resource INCLUDE " + name + " is not locked (invalid lock handle: " + handle + ")");
        Program& program = programs_[name];
        if (!program.corrNr.empty() && !r.param("corrNr").empty() && r.param("corrNr") != program.corrNr)
            return fail(res, 500, "ExceptionResourceSaveFailure", "Object is locked in request " + program.corrNr);
        if (!store(name, program.title, lines(r.body)))
            return fail(res, 500, "ExceptionResourceSaveFailure", "The source of " + name + " cannot be stored");
        res.status = 200;
        res.set_header("ETag", "\"" + std::to_string(++counter_) + "\"");
    }

    // The text elements of a program: LOCK and UNLOCK of their own, PUT and
    // GET of the symbols (the inactive version while there is one).
    void textElements(const AdtRecord& r, const httplib::Request& req, httplib::Response& res,
                      const std::string& context) {
        std::string rest = r.path.substr(std::string(kTextElements).size());
        const bool symbols = rest.ends_with("/source/symbols");
        if (symbols) rest.erase(rest.size() - std::string("/source/symbols").size());
        const std::string name = text::upper(rest), key = name + kTextsLock;
        if (!programExists(name)) return fail(res, 404, "ExceptionResourceNotFound", "Program " + name + " does not exist");
        if (!symbols && r.method == "POST" && r.param("_action") == "LOCK") return lock(key, res, context);
        if (!symbols && r.method == "POST" && r.param("_action") == "UNLOCK") return unlock(key, r, res, context);
        const char* type = "application/vnd.sap.adt.textelements.symbols.v1";
        if (symbols && r.method == "GET") {
            std::string source;
            if (auto inactive = inactiveTexts_.find(name); inactive != inactiveTexts_.end() && r.param("version") != "active")
                source = inactive->second;
            else if (const auto stored = sandbox_->program(name); stored)
                for (const sap::SandboxText& t : stored->textPool)
                    source += "@MaxLength:" + std::to_string(t.length) + "\n" + t.key + "=" + t.entry + "\n";
            return send(res, 200, source, type);
        }
        if (!symbols || r.method != "PUT") return fail(res, 404, "ExceptionResourceNotFound", "No suitable resource found");
        if (req.get_header_value("Content-Type").rfind(type, 0) != 0)
            return fail(res, 406, "ExceptionNotAcceptable", "No suitable representation found for the requested media type");
        const std::string handle = r.param("lockHandle");
        if (!holds(key, handle, context))
            return fail(res, 423, "ExceptionResourceInvalidLockHandle",
                        "Resource TEXTELEMENTS " + name + " is not locked (invalid lock handle: " + handle + ")");
        bool room = false;
        for (const std::string& line : lines(r.body)) {
            if (line.rfind("@MaxLength:", 0) == 0) {
                room = true;
            } else if (!line.empty()) {
                if (!room) return fail(res, 406, "ExceptionNotAcceptable", "Text symbol without @MaxLength: " + line);
                room = false;
            }
        }
        inactiveTexts_[name] = r.body;
        res.status = 200;
    }

    void checkRun(const AdtRecord& r, httplib::Response& res) {
        pugi::xml_document doc;
        doc.load_string(r.body.c_str());
        std::string messages, uri;
        for (pugi::xml_node object : doc.document_element().children()) {
            uri = attr(object, "uri");
            const std::string content =
                object.first_element_by_path("chkrun:artifacts/chkrun:artifact/chkrun:content").text().as_string();
            for (const sap::SapMessage& m : check(lines(decodedBase64(content))))
                messages += answer("checkrun-message.xml", {{"URI", uri}, {"PLACE", position(m, true)}, {"WORD", deny_}});
        }
        xml(res, "checkruns.xml", {{"URI", uri}, {"MESSAGES", messages}}, "application/vnd.sap.adt.checkmessages+xml");
    }

    void activation(const AdtRecord& r, httplib::Response& res) {
        pugi::xml_document doc;
        doc.load_string(r.body.c_str());
        if (preaudit && r.param("preauditRequested") == "true") {
            // Lists what is inactive and activates nothing yet.
            std::string entries;
            for (pugi::xml_node ref : doc.document_element().children())
                entries += answer("inactive-object.xml", {{"URI", attr(ref, "uri")}, {"NAME", text::upper(attr(ref, "name"))}});
            return xml(res, "inactive-objects.xml", {{"ENTRIES", entries}}, "application/vnd.sap.adt.inactivectsobjects.v1+xml");
        }
        std::string messages;  // none while every object activates
        for (pugi::xml_node ref : doc.document_element().children()) {
            const std::string name = text::upper(attr(ref, "name"));
            if (attr(ref, "uri").rfind(kTextElements, 0) == 0) {
                if (locks_.count(name + kTextsLock))
                    return fail(res, 403, "ExceptionResourceNoAccess", "User OTHER is currently editing " + name);
                activateTexts(name);
                continue;
            }
            if (locks_.count(name))
                return fail(res, 403, "ExceptionResourceNoAccess", "User OTHER is currently editing " + name);
            auto stored = sandbox_->program(name);
            if (!stored) {
                messages += answer("activation-missing.xml", {{"NAME", name}});
                continue;
            }
            for (const sap::SapMessage& m : check(stored->source))
                messages += answer("activation-message.xml",
                                   {{"NAME", name}, {"URI", attr(ref, "uri")}, {"PLACE", position(m, false)}, {"TEXT", m.text}});
            if (messages.empty()) {
                sap::RfcRequest run{"RFC_ABAP_INSTALL_AND_RUN", {}, {}};
                for (const std::string& row : sap::installerRows(name, stored->title))
                    run.tables["PROGRAM"].emplace_back().set("LINE", row);
                static_cast<void>(sandbox_->call(run, "DEVELOPER"));
            }
        }
        res.status = 200;
        const bool ok = messages.empty();
        // Success is an empty answer, without even a content type.
        if (ok && !earlierShapes) return;
        xml(res, "activation.xml", {{"DONE", ok ? "true" : "false"}, {"MESSAGES", messages}}, "application/xml");
    }

    // The inactive symbols into the sandbox's text pool, through its installer.
    void activateTexts(const std::string& name) {
        auto inactive = inactiveTexts_.find(name);
        if (inactive == inactiveTexts_.end()) return;
        std::vector<TextSymbol> symbols;
        std::size_t room = 0;
        for (const std::string& line : lines(inactive->second)) {
            if (line.rfind("@MaxLength:", 0) == 0) room = std::stoul(line.substr(11));
            else if (auto eq = line.find('='); eq != std::string::npos) symbols.push_back({line.substr(0, eq), line.substr(eq + 1), room});
        }
        sap::RfcRequest run{"RFC_ABAP_INSTALL_AND_RUN", {}, {}};
        for (const std::string& row : sap::textPoolInstallerRows(name, symbols))
            run.tables["PROGRAM"].emplace_back().set("LINE", row);
        static_cast<void>(sandbox_->call(run, "DEVELOPER"));
        inactiveTexts_.erase(inactive);
    }

    // A modifiable request of `owner`: its header and its task (none in the earlier shapes).
    std::map<std::string, std::string> request(const std::string& number, const std::string& owner,
                                               const std::string& text) const {
        std::string task = number;
        task.back() = static_cast<char>(task.back() == '9' ? '0' : task.back() + 1);
        return {{"HEADER", answer("request-header.xml", {{"REQUEST", number}, {"OWNER", owner}, {"TEXT", text}})},
                {"TASKS", earlierShapes ? std::string()
                                        : answer("task-headers.xml", {{"TASK", task}, {"OWNER", owner}, {"REQUEST", number}})}};
    }

    void transportCheck(const AdtRecord& r, httplib::Response& res) {
        pugi::xml_document doc;
        doc.load_string(r.body.c_str());
        const std::string package = doc.select_node("//DEVCLASS").node().text().as_string();
        std::string uri = doc.select_node("//URI").node().text().as_string();
        const std::string name = text::upper(uri.substr(uri.rfind('/') + 1));
        std::string requests, locks;
        auto t = transportable_.find(package);
        const auto held = recorded_.find(name);
        if (held != recorded_.end() && !earlierShapes) {
            // Recorded in a request already: nothing to choose, the lock holder is named.
            const auto& [number, owner] = held->second;
            auto holder = request(number, owner, "Changes of " + owner);
            holder["NAME"] = name;
            locks = answer("object-lock.xml", holder);
        } else if (t != transportable_.end()) {
            for (const std::string& number : t->second) requests += answer("cts-request.xml", request(number, "DEVELOPER", "Reports"));
            // another user's request, and one of the user's released already
            if (!earlierShapes) requests += answer("other-requests.xml");
        }
        const bool recording = t != transportable_.end() && locks.empty();
        xml(res, "transportcheck.xml",
            {{"NAME", name}, {"PACKAGE", package}, {"RECORDING", recording ? "X" : ""}, {"REQUESTS", requests},
             {"LOCKS", locks}},
            "application/vnd.sap.as+xml; charset=utf-8; dataname=com.sap.adt.transport.service.checkData");
    }

    static constexpr const char* kFreestyle = "/sap/bc/adt/datapreview/freestyle";
    static constexpr const char* kTextElements = "/sap/bc/adt/textelements/programs/";
    static constexpr const char* kTextsLock = "#texts";  // the text elements' lock, beside the program's

    std::unique_ptr<sap::SandboxSystem> sandbox_;
    httplib::Server server_;
    std::thread thread_;
    std::unique_ptr<RawHeaderRelay> relay_;
    mutable std::recursive_mutex mutex_;
    std::vector<AdtRecord> records_;
    Fault fault_;
    std::string deny_;
    std::set<std::string> includes_;
    std::map<std::string, std::vector<std::string>> transportable_;
    std::map<std::string, std::pair<std::string, std::string>> recorded_;  // program -> request, owner
    std::vector<std::string> structures_ = {"SFLIGHT_RFC", "SCARR_0001", "SPFLI_S"};
    std::map<std::string, std::string> sessions_;  // session cookie -> CSRF token
    std::set<std::string> contexts_;
    std::map<std::string, Lock> locks_;
    std::map<std::string, Program> programs_;
    std::map<std::string, std::string> inactiveTexts_;  // program -> symbols source, until activated
    long counter_ = 0;
    std::atomic<std::size_t> writesTried_{0};
    // table -> answer file, count of all rows
    std::map<std::string, std::pair<std::string, std::size_t>> previewTables_ = {
        {"T000", {"datapreview-t000.xml", 3}}, {"SFLIGHT", {"datapreview-sflight.xml", 2345}},
        {"SPFLI", {"datapreview-spfli.xml", 3}}};
    std::set<std::string> deniedTables_;
    std::mutex holdMutex_;
    std::condition_variable held_;
    bool holding_ = false;
    int waiting_ = 0;
    long releases_ = 0;
};

}  // namespace orvex::testing
