#include "sap/adt/AdtOperations.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cctype>

#include "generator/QueryStatement.h"
#include "sap/adt/AdtAnswers.h"
#include "sap/adt/AdtDataPreview.h"
#include "sap/adt/AdtInstall.h"
#include "sap/TableReads.h"
#include "common/Text.h"

namespace orvex::sap::adt {

namespace {

constexpr const char* kNoElementInfo =
    "this system's release offers no field list over ADT (element info comes with release 7.51); "
    "read the fields over an RFC road instead: SAP's RFC library or the SOAP service (/sap/bc/soap/rfc)";

using text::lower;

// The most rows one search asks for: structures come along with the tables.
constexpr std::size_t kSearchRows = 5 * kSearchCap;

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
        auto program = getObject(session_, programUri(name));
        if (!program) return program.failure();
        if (program->status == 200) return existing(program->body);
        if (program->status != 404) return adtFailure(*program, "reading program " + name + " failed");
        // Programs and includes share one name space: the validation knows both.
        auto valid = validateName(session_, name, "$TMP", {});
        if (!valid || !valid->taken) return valid;
        // Refused: taken by an include, or a name SAP does not take at all.
        auto include = getObject(session_, "/sap/bc/adt/programs/includes/" + escaped(lower(name)));
        if (!include) return include.failure();
        if (include->status == 200) return valid;
        return failure(FailureKind::Refused, "SAP refuses the name " + name + ": " +
                                                 (valid->text.empty() ? std::string("no reason given") : valid->text));
    }

    Result<TableSearch> searchTables(const std::string& pattern) override {
        std::string query;
        for (char c : pattern) query += c == '%' ? '*' : c;
        AdtRequest search;
        search.path = "/sap/bc/adt/repository/informationsystem/search";
        search.query = {{"operation", "quickSearch"},
                        {"query", query},
                        {"maxResults", std::to_string(kSearchRows)},
                        {"objectType", "TABL/DT"}};
        search.accept = "application/xml";
        auto answer = session_.send(search);
        if (!answer) return answer.failure();
        if (answer->status != 200) return adtFailure(*answer, "the table search failed");
        pugi::xml_document doc;
        if (Status parsed = parseAnswer(doc, answer->body, "the table search"); !parsed) return parsed.failure();
        return searchResults(doc, kSearchCap, kSearchRows);
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
        if (Status parsed = parseAnswer(doc, answer->body, "the field list"); !parsed) return parsed.failure();
        std::vector<TableField> fields = fieldList(doc);
        addReferences(fields, repositoryName(table));
        return fields;
    }

    // The element info names no currency or unit fields; the table's source
    // does. A system that gives no source leaves the fields without them.
    void addReferences(std::vector<TableField>& fields, const std::string& table) {
        const bool valued = std::any_of(fields.begin(), fields.end(), [](const TableField& f) {
            return f.dataType == "CURR" || f.dataType == "QUAN";
        });
        if (!valued) return;
        AdtRequest source;
        source.path = "/sap/bc/adt/ddic/tables/" + lower(std::string(text::trim(table))) + "/source/main";
        source.accept = "text/plain";
        auto answer = session_.send(source);
        if (answer && answer->status == 200) addSourceReferences(fields, std::string(text::trim(table)), answer->body);
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
        request.body = transportCheckBody(package, programUri(name));
        auto answer = session_.send(request);
        if (!answer) return answer.failure();
        if (answer->status != 200) return adtFailure(*answer, "the transport check failed");
        pugi::xml_document doc;
        if (Status parsed = parseAnswer(doc, answer->body, "the transport check"); !parsed) return parsed.failure();
        return transportCheck(doc, name, package, session_.user());
    }

    InstallResult installProgram(const InstallRequest& request, const MessageSink& messages) override {
        InstallResult result;
        auto tell = [&](std::string text, unsigned style, std::string detail = {}) {
            if (messages) messages(Message{std::move(text), kAppTitle, style, std::move(detail)});
        };
        if (Status status = logon(); !status) {
            result.created = status;
            tell("No connection to R/3!", kOkOnly, status.failure().details());
            return result;
        }
        const std::string name = repositoryName(request.name);
        const std::string package = request.package.empty() ? std::string("$TMP") : repositoryName(request.package);
        result.created = installer_.store(name, package, request, result);
        if (!result.created) {
            // A taken name is no connection error: the caller says so.
            if (!result.nameTaken())
                tell("There was a connection error\r\nPlease Try Again", kCritical, result.created.failure().details());
            return result;
        }
        tell("Program Created successfully in SAP", kRightAligned);
        if (request.textPool && !request.textPool->empty()) {
            const Status texts = installer_.storeTexts(name, request);
            result.textPoolWritten = texts.ok();
            if (!texts) result.textsLiteral = texts.failure().reason;
        }
        if (!request.unicodeCheck) return result;

        result.activationRequested = true;
        std::vector<SapMessage> found;
        Status activated = installer_.activate(name, found);
        int errors = 0;
        for (const SapMessage& m : found) {
            if (isError(m)) ++errors;
            // What the check before storing said already is listed once.
            if (std::find(result.sapMessages.begin(), result.sapMessages.end(), m) == result.sapMessages.end())
                result.sapMessages.push_back(m);
        }
        if (activated && errors == 0) return result;
        // SAP's messages are listed with the result: the message names their count.
        std::string detail;
        if (!activated) {
            result.activation = activated;
            detail = activated.failure().details();
        } else {
            result.activation = failure(FailureKind::Function, "the activation reported " + std::to_string(errors) +
                                                                   (errors == 1 ? " error" : " errors"));
        }
        tell("The program was created, but setting its attributes and activating it failed\r\n" +
                 result.activation.failure().reason,
             kCritical, detail);
        return result;
    }

    void cancel() override { installer_.cancel(); }

    // The query's SELECT through the SQL console, at most the report's own
    // row limit; the labels of the report's columns where the console gives
    // none (some releases send none).
    Result<DataPreview> previewData(const ReportQuery& query, const PreviewOptions& options) override {
        auto statement = queryStatement(query);
        if (!statement) return statement.failure();
        std::size_t rows = options.rows;
        if (query.rowLimit && *query.rowLimit > 0) rows = std::min(rows, *query.rowLimit);
        auto preview = adt::previewData(session_, {*statement, rows, options.count});
        if (!preview) return preview;
        if (preview->columns.size() == query.plan.columns.size())
            for (std::size_t i = 0; i < preview->columns.size(); ++i)
                if (preview->columns[i].description.empty())
                    preview->columns[i].description = query.plan.columns[i].description;
        // The program reads no more than its row limit: neither does the count.
        if (preview->totalRows && query.rowLimit && *query.rowLimit > 0)
            preview->totalRows = std::min(*preview->totalRows, *query.rowLimit);
        return preview;
    }

private:
    // A program that has the name, with its title and last change where
    // SAP's answer names them.
    static NameCheck existing(const std::string& body) {
        NameCheck check{true, {}, {}, {}};
        pugi::xml_document doc;
        if (!parseAnswer(doc, body, "the program")) return check;
        const pugi::xml_node program = doc.document_element();
        check.title = attribute(program, "description");
        std::string at = attribute(program, "changedAt");  // 2024-05-17T14:02:11Z
        if (at.size() >= 16 && at[10] == 'T') at = at.substr(0, 10) + " " + at.substr(11, 5);
        const std::string by = attribute(program, "changedBy");
        check.changed = at + (!at.empty() && !by.empty() ? ", " : "") + by;
        return check;
    }

    AdtSession session_;
    AdtInstaller installer_{session_};
};

}  // namespace

std::unique_ptr<Operations> makeAdtOperations(const LogonValues& logon, AdtOptions options) {
    return std::make_unique<AdtOperations>(logon, std::move(options));
}

Result<std::string> adtAnswers(const ConnectionProperties& props) {
    auto base = adtBase(props);
    if (!base) return base.failure();
    // Asked without the user's credentials: the answer says enough.
    HttpOptions quick;
    quick.connectTimeout = std::chrono::seconds(5);
    quick.replyTimeout = std::chrono::seconds(10);
    quick.callTimeout = std::chrono::seconds(15);
    quick.maxReplyBytes = std::size_t(4) << 20;
    quick.tls = props.tls;
    HttpClient client(quick, "", "");
    HttpRequest get;
    get.url = base->with(base->path() + "/sap/bc/adt/discovery",
                         {{"sap-client", props.Client}, {"sap-language", props.Language}, {"saml2", "disabled"}})
                  .text();
    auto res = client.send(get);
    if (!res) return failure(res.failure().kind, "GET /sap/bc/adt/discovery: " + res.failure().text());
    std::string answer = "GET /sap/bc/adt/discovery answered " + std::to_string(res->status);
    if (res->status == 200 || res->status == 401 || res->status == 403) return answer;
    return failure(FailureKind::Service, std::move(answer));
}

}  // namespace orvex::sap::adt
