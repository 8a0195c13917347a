#include "sap/http/HttpBackend.h"

#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "sap/http/HtmlPages.h"
#include "sap/http/SoapEnvelope.h"
#include "common/Text.h"

namespace orvex::sap {

namespace {

// Exception names of failures outside the called function.
constexpr const char* kLogonFailure = "LOGON_FAILURE";                  // HTTP 401
constexpr const char* kCommunicationFailure = "COMMUNICATION_FAILURE";  // no answer, cut short, too large
constexpr const char* kCancelled = "CANCELLED";

using text::lower;

// The table parameters of the function modules ORVEX calls.
const std::map<std::string, std::vector<const char*>> kKnownTables = {
    {"RFC_READ_TABLE", {"OPTIONS", "FIELDS", "DATA"}},
    {"DD_TABL_GET", {"DD03P_TAB_A", "DD05M_TAB_A", "DD08V_TAB_A"}},
    {"BC_PR_INSERT", {"SOURCE"}},
    {"RFC_ABAP_INSTALL_AND_RUN", {"PROGRAM", "WRITES"}},
};

// The service returns only the tables a request names, while SAP's RFC
// component knows each function's interface and hands back all of them.
// Naming the tables of the functions ORVEX calls keeps the two alike, whatever
// the caller touched before the call; FIELDS of RFC_READ_TABLE also gives the
// row width that restores stripped blanks. The request itself when it names
// them all, else `completed`, made from it.
const RfcRequest* withKnownTables(const RfcRequest& request, RfcRequest& completed) {
    const RfcRequest* sent = &request;
    if (auto known = kKnownTables.find(request.function); known != kKnownTables.end()) {
        for (const char* table : known->second) {
            if (request.tables.count(table)) continue;
            if (sent == &request) completed = request, sent = &completed;
            completed.tables[table];
        }
    }
    return sent;
}

Failure failedCall(const std::string& exception, FailureKind kind, std::string reason, std::string detail) {
    return callFailure(exception, kind, std::move(reason), std::move(detail));
}

std::string statusLine(const HttpResponse& res) {
    return "HTTP " + std::to_string(res.status) + (res.reason.empty() ? "" : " " + res.reason);
}

// Why a redirection was not followed, in the words of this road.
Failure refusedRedirect(const HttpResponse& res, const std::string& where, const std::string& host) {
    const std::string exception = "HTTP_" + std::to_string(res.status);
    const std::string& location = res.location;
    switch (res.refused) {
        case Redirect::TooMany:
            return failedCall(exception, FailureKind::Service,
                              "the service at " + where + " redirected more than " +
                                  std::to_string(HttpClient::kMaxRedirects) + " times: check the application server",
                              statusLine(res) + " to " + location);
        case Redirect::NotHttp:
            return failedCall(exception, FailureKind::Refused,
                              "the service redirects to \"" + location + "\", which is no http or https address",
                              statusLine(res));
        case Redirect::OtherHost:
        case Redirect::OtherPort:
            return failedCall(exception, FailureKind::Refused,
                              std::string("the service redirects to another ") +
                                  (res.refused == Redirect::OtherHost ? "host" : "port") + ", " + location +
                                  "; not followed, so that the password stays with " + host +
                                  ": enter that address as the application server if it is right",
                              statusLine(res));
        case Redirect::Downgrade:
            return failedCall(exception, FailureKind::Refused,
                              "the service redirects from https to " + location +
                                  "; not followed, since the password would travel unencrypted",
                              statusLine(res));
        case Redirect::None: break;
    }
    return failedCall(exception, FailureKind::Service, statusLine(res), "");
}

class HttpBackend final : public RfcBackend {
public:
    HttpBackend(Result<Url> address, HttpOptions options) : given_(std::move(address)), options_(std::move(options)) {}
    ~HttpBackend() override { logoff(); }

    Status logon(const ConnectionProperties& props) override {
        logoff();
        if (!given_) return given_.failure();
        address_ = *given_;
        basePath_ = address_.path();
        target_ = address_.with(basePath_ + "/sap/bc/soap/rfc", {{"sap-client", props.Client}, {"sap-language", "EN"}})
                      .text();
        user_ = props.User;
        client_ = props.Client;
        {
            std::lock_guard lock(abortMutex_);
            http_ = std::make_unique<HttpClient>(options_, props.User, props.Password);
        }
        loggedOn_ = true;
        // One harmless call, so that success means the system took the
        // credentials. Only HTTP's refusal (401, or 403 with SAP's logon page)
        // means the logon was refused: a SOAP fault comes from the service
        // running the call for the logged-on user (RFC_PING may be forbidden
        // to it), so the logon stands and the fault is told with the next
        // failure, where it may explain it.
        RfcRequest ping;
        ping.function = "RFC_PING";
        RfcResult reply = exchange(ping);
        if (reply) return {};
        if (reply.failure().kind == FailureKind::Function) {
            logonFault_ = "at logon: " + reply.failure().text();
            return {};
        }
        Failure refused = reply.failure();
        logoff();
        return refused;
    }

    void logoff() override {
        loggedOn_ = false;
        logonFault_.clear();
        std::lock_guard lock(abortMutex_);
        http_.reset();  // its connection and cookies with it
    }

    // Ends a connect, handshake, send or wait of the running call at once;
    // never blocks on it.
    void cancel() override {
        std::lock_guard lock(abortMutex_);
        if (callRunning_ && http_) http_->cancel();
    }

    RfcResult call(const RfcRequest& request) override {
        if (!loggedOn_) return failedCall("NOT_CONNECTED", FailureKind::Other, "not logged on", "NOT_CONNECTED");
        RfcResult reply = exchange(request);
        if (!reply && !logonFault_.empty()) {
            Failure failed = reply.failure();
            failed.detail += (failed.detail.empty() ? "" : "; ") + logonFault_;
            logonFault_.clear();
            return failed;
        }
        return reply;
    }

private:
    // One call over HTTP, following redirections on the same host.
    RfcResult exchange(const RfcRequest& request) {
        RfcRequest completed;
        const RfcRequest* sent = withKnownTables(request, completed);
        // Refused before anything leaves: the service would reject the
        // document, or take a value other than the one given.
        Result<std::string> envelope = soap::buildRequest(*sent);
        if (!envelope)
            return failedCall(soap::kInvalidRequest, FailureKind::Refused,
                              request.function + " was not sent: " + envelope.failure().reason +
                                  "; remove it and try again",
                              "XML 1.0 cannot carry it");

        HttpRequest post;
        post.method = "POST";
        post.url = target_;
        post.headers = {
            "Content-Type: text/xml; charset=utf-8",
            std::string("SOAPAction: ") + soap::kRfcNamespace,
            "Accept: text/xml",
            // Uncompressed replies: on a local network or loopback, compressing
            // a 25 MB table read takes longer than sending it as it is.
            "Accept-Encoding: identity",
        };
        post.body = std::move(*envelope);

        // From here until the answer is in, cancel() acts on this call.
        {
            std::lock_guard lock(abortMutex_);
            callRunning_ = true;
            http_->resume();
        }
        struct Finished {
            HttpBackend& backend;
            ~Finished() {
                std::lock_guard lock(backend.abortMutex_);
                backend.callRunning_ = false;
            }
        } finished{*this};

        Result<HttpResponse> res = http_->send(post);
        if (!res) {
            Failure failed = res.failure();
            if (failed.kind == FailureKind::Cancelled) return failedCall(kCancelled, FailureKind::Cancelled, "Cancelled", "");
            if (failed.kind == FailureKind::Reply) failed.reason += ": ask for fewer rows";  // too large
            return failedCall(kCommunicationFailure, failed.kind, std::move(failed.reason), std::move(failed.detail));
        }
        if (res->refused != Redirect::None) return refusedRedirect(*res, address_.authority(), address_.host());
        if (res->url != target_) {
            // Redirected on the same host: later calls go there at once.
            auto moved = Url::parse(res->url);
            if (moved) address_ = *moved;
            target_ = res->url;
        }
        return answer(request, *sent, *res, res->body);
    }

    // The failure an HTTP answer means, or the function's reply.
    RfcResult answer(const RfcRequest& request, const RfcRequest& sent, const HttpResponse& res,
                     std::string& body) {
        const std::string status = statusLine(res);
        auto described = [&] {
            const std::string line = firstTextLine(body, status);
            return line.empty() ? status : status + ": " + line;
        };
        if (res.status == 401 || (res.status == 403 && isLogonPage(body)))
            return failedCall(
                kLogonFailure, FailureKind::Logon,
                "the system refused user " + user_ + " in client " + client_ + ": wrong user name, password or client",
                described());
        if (res.status == 403 || res.status == 404)
            return failedCall("HTTP_" + std::to_string(res.status), FailureKind::Service,
                              status.substr(5) + ": service " + basePath_ +
                                  "/sap/bc/soap/rfc is not active; ask the administrator to "
                                  "activate it in transaction SICF",
                              described());
        if (res.status != 200 && res.status != 500)
            return failedCall("HTTP_" + std::to_string(res.status), FailureKind::Service,
                              status + " from " + address_.authority() +
                                  " instead of the service's answer: check the application server",
                              described());

        const std::string contentType = res.header("content-type");
        const bool markup = contentType.find("xml") == std::string::npos;
        const std::string page = markup ? described() : std::string();
        RfcResult reply = soap::parseReply(sent, body);
        if (reply && res.status != 200)
            return failedCall(soap::kInvalidResponse, FailureKind::Reply,
                              "the system's answer is not the reply of " + request.function, status);
        if (!reply && reply.failure().kind == FailureKind::Reply) {
            Failure failed = reply.failure();
            failed.reason += ": check that the application server is the SAP system's HTTP address";
            if (markup) failed.detail = page + (contentType.empty() ? "" : " (" + contentType + ")");
            return failed;
        }
        return reply;
    }

    Result<Url> given_;
    Url address_;  // given_, or where a redirection led
    std::string basePath_;  // the given URL's path, before /sap/bc/soap/rfc
    HttpOptions options_;
    std::string target_;
    std::string user_, client_;
    bool loggedOn_ = false;
    std::string logonFault_;  // a SOAP fault of the logon's RFC_PING, told with the next failure

    std::mutex abortMutex_;  // guards http_ and callRunning_: cancel() comes from another thread
    std::unique_ptr<HttpClient> http_;
    bool callRunning_ = false;
};

}  // namespace

Result<Url> serverUrl(const ConnectionProperties& props) {
    const std::string& server = props.ApplicationServer;
    const bool url = server.rfind("http://", 0) == 0 || server.rfind("https://", 0) == 0;
    if (!url) {
        // A bare host: the ICM's HTTP port 80NN of the instance.
        const std::string& number = props.SystemNumber;
        if (number.empty() || number.size() > 2 ||
            !std::all_of(number.begin(), number.end(), [](unsigned char c) { return std::isdigit(c); }))
            return failure(FailureKind::Refused, "system number \"" + number + "\" is not one or two digits");
        auto host = Url::parse("http://" + server + ":" + std::to_string(8000 + std::stoi(number)));
        if (!host || host->hasUserInfo() || host->path() != "/" || !host->query().empty() || host->hasFragment() ||
            server.find_first_of("/?#@") != std::string::npos)
            return failure(FailureKind::Refused, "application server \"" + server + "\" is not a host name");
        return host->with("");
    }
    if (server.find_first_of(" \t\r\n") != std::string::npos)
        return failure(FailureKind::Refused, "the base URL \"" + server + "\" contains blanks");
    auto parsed = Url::parse(server);
    if (!parsed || parsed->hasUserInfo())
        return failure(FailureKind::Refused, "the base URL \"" + server + "\" has no usable host and port",
                       parsed ? "user name in the URL" : parsed.failure().detail);
    if (!parsed->query().empty() || parsed->hasFragment() || server.find_first_of("?#") != std::string::npos)
        return failure(FailureKind::Refused, "the base URL \"" + server + "\" carries a query or fragment");
    if (parsed->port() < 1) return failure(FailureKind::Refused, "port " + std::to_string(parsed->port()) + " is out of range");
    std::string path = parsed->path();
    while (!path.empty() && path.back() == '/') path.pop_back();
    return parsed->with(path);
}

std::unique_ptr<RfcBackend> makeHttpBackend(const ConnectionProperties& props, const HttpOptions& options) {
    HttpOptions used = options;
    if (used.tls == TlsSettings{}) used.tls = props.tls;  // the settings' files, unless the caller chose its own
    return std::make_unique<HttpBackend>(serverUrl(props), std::move(used));
}

std::unique_ptr<RfcBackend> makeHttpBackend(const ConnectionProperties& props) {
    return makeHttpBackend(props, HttpOptions{});
}

BackendFactory httpBackendFactory(const HttpOptions& options) {
    return [options](const ConnectionProperties& props) { return makeHttpBackend(props, options); };
}

}  // namespace orvex::sap
