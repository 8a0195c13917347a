#include "sap/adt/AdtSession.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cctype>

#include "sap/http/HttpBackend.h"
#include "common/Text.h"

namespace orvex::sap::adt {

namespace {

constexpr const char* kAdtPath = "/sap/bc/adt";

using text::lower;

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

bool isHtml(const AdtResponse& response) {
    return contains(lower(response.contentType), "text/html") || response.body.compare(0, 15, "<!DOCTYPE html>") == 0 ||
           response.body.compare(0, 6, "<html>") == 0;
}

// The server refused the token or has forgotten the session.
bool sessionRefused(const AdtResponse& r) {
    return (r.status == 403 && lower(r.header("x-csrf-token")) == "required") || r.status == 401 ||
           (r.status == 400 && (contains(r.body, "Session timed out") || contains(r.body, "ICMENOSESSION")));
}

// A short text of a body that is not XML: an HTML page's title, or the first line.
std::string bodyGist(const AdtResponse& response) {
    std::string text = response.body;
    if (isHtml(response)) {
        const std::string low = lower(text);
        const auto open = low.find("<title>");
        const auto close = low.find("</title>");
        text = open != std::string::npos && close != std::string::npos && close > open
                   ? text.substr(open + 7, close - open - 7)
                   : std::string();
    }
    text = text.substr(0, text.find_first_of("\r\n"));
    if (text.size() > 200) text = text.substr(0, 200) + "...";
    return text;
}

std::string statusLine(const AdtResponse& response) { return "HTTP " + std::to_string(response.status); }

}  // namespace

std::string AdtResponse::header(const std::string& lowerName) const {
    auto it = headers.find(lowerName);
    return it == headers.end() ? std::string() : it->second;
}

AdtOptions adtDefaults() {
    AdtOptions options;
    options.replyTimeout = std::chrono::seconds(120);
    options.maxReplyBytes = std::size_t(64) << 20;
    return options;
}

Result<Url> adtBase(const ConnectionProperties& props) {
    auto base = serverUrl(props);
    if (!base) return base;
    std::string prefix = base->path();
    const std::string suffix = kAdtPath;
    if (prefix.size() >= suffix.size() && prefix.compare(prefix.size() - suffix.size(), suffix.size(), suffix) == 0)
        prefix.erase(prefix.size() - suffix.size());
    return base->with(prefix);
}

AdtSession::AdtSession(ConnectionProperties props, AdtOptions options)
    : props_(std::move(props)), base_(adtBase(props_)) {
    if (options.tls == TlsSettings{}) options.tls = props_.tls;  // the settings' files
    client_ = std::make_unique<HttpClient>(std::move(options), props_.User, props_.Password);
}

AdtSession::~AdtSession() = default;

void AdtSession::forget() {
    token_.clear();
    client_->forgetCookies();
}

namespace {
Failure cancelledFailure() { return failure(FailureKind::Cancelled, "Cancelled"); }
}  // namespace

void AdtSession::cancel() {
    cancelled_ = true;
    client_->cancel();
}

Result<AdtResponse> AdtSession::transmit(const AdtRequest& request, bool fetch) {
    if (!base_) return base_.failure();
    if (cancelled_ && !request.afterCancel) return cancelledFailure();
    std::vector<std::pair<std::string, std::string>> query = request.query;
    query.insert(query.end(), {{"sap-client", props_.Client}, {"sap-language", props_.Language}, {"saml2", "disabled"}});
    HttpRequest req;
    req.method = request.method;
    req.url = base_->with(base_->path() + request.path, query).text();
    req.headers = {
        "Accept: " + request.accept,
        "Cache-Control: no-cache",
        "x-csrf-token: " + (fetch ? std::string("fetch") : token_),
        std::string("X-sap-adt-sessiontype: ") + (lockWindow_ || request.stateful ? "stateful" : "stateless"),
        "Accept-Encoding: identity",
    };
    if (!request.contentType.empty()) req.headers.push_back("Content-Type: " + request.contentType);
    req.body = request.body;

    auto answer = client_->send(req, !request.afterCancel);
    if (!answer) {
        if (cancelled_ && !request.afterCancel) return cancelledFailure();
        Failure failed = answer.failure();
        if (failed.kind == FailureKind::Unreachable || failed.kind == FailureKind::Timeout)
            failed.reason = "no answer from " + base_->authority() + " to " + request.method + " " + request.path +
                            ": " + failed.reason;
        return failed;
    }
    AdtResponse response;
    response.status = answer->status;
    response.body = std::move(answer->body);
    response.headers = std::move(answer->headers);
    response.contentType = response.header("content-type");
    return response;
}

Status AdtSession::fetchToken(const std::string& path) {
    AdtRequest discovery;
    discovery.path = path;
    discovery.accept = "application/atomsvc+xml";
    auto answer = transmit(discovery, true);
    if (!answer) return answer.failure();
    const AdtResponse& r = *answer;
    if (r.status == 401)
        return failure(FailureKind::Logon, "the system refused the user name or password for client " + props_.Client,
                       statusLine(r));
    if (r.status >= 300 && r.status < 400)
        return failure(FailureKind::Logon,
                       "the system sent the logon to a single sign-on page instead of taking the password",
                       statusLine(r) + ", Location: " + r.header("location"));
    if (r.status == 200 && isHtml(r))
        return failure(FailureKind::Logon, "the system answered with a logon page: not logged on",
                       statusLine(r) + ", " + bodyGist(r));
    if (r.status == 404)
        return failure(FailureKind::Service,
                       "no ADT service at " + base_->with(base_->path() + kAdtPath).text() +
                           " (is /sap/bc/adt active in SICF?)",
                       statusLine(r) + " for " + path);
    if (r.status != 200) return adtFailure(r, "the ADT service refused the logon");
    if (path.find("/discovery") != std::string::npos && path.find("/core/") == std::string::npos) discovery_ = r.body;
    token_ = r.header("x-csrf-token");
    return {};
}

Status AdtSession::logon() {
    forget();
    Status status = fetchToken(std::string(kAdtPath) + "/discovery");
    if (!status) return status;
    // Newer systems hand out the token on the core discovery document.
    if (token_.empty()) status = fetchToken(std::string(kAdtPath) + "/core/discovery");
    if (!status) return status;
    if (token_.empty())
        return failure(FailureKind::Reply, "the ADT service sent no CSRF token", "x-csrf-token missing on discovery");
    return {};
}

Result<AdtResponse> AdtSession::send(const AdtRequest& request) {
    if (!loggedOn() && !lockWindow_) {
        if (Status status = logon(); !status) return status.failure();
    }
    for (int attempt = 0;; ++attempt) {
        auto answer = transmit(request, false);
        if (!answer) return answer;
        const AdtResponse& r = *answer;
        if (sessionRefused(r)) {
            if (lockWindow_)
                return failure(FailureKind::Service,
                               "the SAP session ended while the program was locked, and the lock with it",
                               statusLine(r) + ", " + bodyGist(r));
            if (attempt == 0) {
                // The token or the session expired: log on afresh and try once more.
                if (Status status = logon(); !status) return status.failure();
                continue;
            }
            if (r.status == 401)
                return failure(FailureKind::Logon,
                               "the system refused the user name or password for client " + props_.Client,
                               statusLine(r));
            return failure(FailureKind::Service, "the system refused the session twice",
                           statusLine(r) + ", " + bodyGist(r));
        }
        if (r.status >= 300 && r.status < 400)
            return failure(FailureKind::Logon,
                           "the system sent the request to a single sign-on page instead of taking the password",
                           statusLine(r) + ", Location: " + r.header("location"));
        if (r.status == 200 && isHtml(r) && !contains(request.accept, "html"))
            return failure(FailureKind::Logon, "the system answered with a logon page: not logged on",
                           statusLine(r) + ", " + bodyGist(r));
        return answer;
    }
}

std::string exceptionMessage(const AdtResponse& response) {
    pugi::xml_document doc;
    if (!doc.load_string(response.body.c_str())) return {};
    pugi::xml_node root = doc.document_element();
    std::string message = root.child("localizedMessage").text().as_string();
    if (message.empty()) message = root.child("message").text().as_string();
    return message;
}

Failure adtFailure(const AdtResponse& response, const std::string& reason) {
    const bool xml = contains(lower(response.contentType), "xml") && !isHtml(response);
    std::string message = xml ? exceptionMessage(response) : bodyGist(response);
    std::string detail = statusLine(response);
    if (xml) {
        pugi::xml_document doc;
        if (doc.load_string(response.body.c_str())) {
            pugi::xml_node root = doc.document_element();
            if (std::string type = root.child("type").attribute("id").as_string(); !type.empty()) detail += ", " + type;
            std::string id, number;
            for (pugi::xml_node entry : root.child("properties").children("entry")) {
                const std::string key = entry.attribute("key").as_string();
                if (key == "T100KEY-ID") id = entry.text().as_string();
                if (key == "T100KEY-NO") number = entry.text().as_string();
            }
            if (!id.empty()) detail += ", message " + id + "/" + number;
        }
    }
    FailureKind kind = FailureKind::Function;
    if (response.status == 401)
        kind = FailureKind::Logon;
    else if (!xml)
        kind = FailureKind::Service;
    return failure(kind, message.empty() ? reason : reason + ": " + message, detail);
}

}  // namespace orvex::sap::adt
