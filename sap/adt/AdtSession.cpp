#include "AdtSession.h"

#include <httplib.h>
#include <pugixml.hpp>

#include <algorithm>
#include <cctype>

#include "HttpBackend.h"

namespace orvex::sap::adt {

namespace {

constexpr const char* kAdtPath = "/sap/bc/adt";

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

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

std::string percentEncoded(const std::string& text) {
    static const char* const kHex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

std::string AdtAddress::url() const {
    const std::string authority = host.find(':') == std::string::npos ? host : "[" + host + "]";
    return std::string(https ? "https://" : "http://") + authority + ":" + std::to_string(port) + prefix + kAdtPath;
}

AdtAddress adtAddress(const ConnectionProperties& props) {
    const ServiceAddress service = resolveServiceAddress(props);
    AdtAddress address;
    address.valid = service.valid;
    address.error = service.error;
    address.https = service.https;
    address.host = service.host;
    address.port = service.port;
    address.prefix = service.basePath;
    const std::string suffix = kAdtPath;
    if (address.prefix.size() >= suffix.size() &&
        address.prefix.compare(address.prefix.size() - suffix.size(), suffix.size(), suffix) == 0)
        address.prefix.erase(address.prefix.size() - suffix.size());
    return address;
}

AdtSession::AdtSession(ConnectionProperties props, AdtOptions options)
    : props_(std::move(props)), options_(std::move(options)), address_(adtAddress(props_)) {}

AdtSession::~AdtSession() = default;

void AdtSession::forget() {
    token_.clear();
    cookies_.clear();
}

void AdtSession::keepCookies(const AdtResponse& response) {
    auto range = response.headers.equal_range("set-cookie");
    for (auto it = range.first; it != range.second; ++it) {
        const std::string& line = it->second;
        const std::string pair = line.substr(0, line.find(';'));
        const auto eq = pair.find('=');
        if (eq == std::string::npos || eq == 0) continue;
        std::string name = pair.substr(0, eq), value = pair.substr(eq + 1);
        const std::string attributes = lower(line.substr(pair.size()));
        const bool deleted = value.empty() || contains(attributes, "max-age=0") || contains(attributes, "1970");
        auto known = std::find_if(cookies_.begin(), cookies_.end(), [&](const auto& c) { return c.first == name; });
        if (deleted) {
            if (known != cookies_.end()) cookies_.erase(known);
        } else if (known != cookies_.end()) {
            known->second = std::move(value);
        } else {
            cookies_.emplace_back(std::move(name), std::move(value));
        }
    }
}

namespace {
Failure cancelledFailure() { return failure(FailureKind::Cancelled, "Cancelled"); }
}  // namespace

void AdtSession::cancel() {
    cancelled_ = true;
    std::lock_guard lock(clientMutex_);
    // Shuts the socket of a request in flight, which then fails at once.
    if (client_) client_->stop();
}

Result<AdtResponse> AdtSession::transmit(const AdtRequest& request, bool fetch) {
    if (!address_.valid) return failure(FailureKind::Refused, address_.error);
    if (cancelled_ && !request.afterCancel) return cancelledFailure();
    std::unique_lock clientLock(clientMutex_);
    if (!client_) {
        if (address_.https) {
            auto ssl = std::make_unique<httplib::SSLClient>(address_.host, address_.port);
            if (!options_.caFile.empty() || !options_.caDirectory.empty())
                ssl->set_ca_cert_path(options_.caFile, options_.caDirectory);
            ssl->enable_server_certificate_verification(true);
            client_ = std::move(ssl);
        } else {
            client_ = std::make_unique<httplib::ClientImpl>(address_.host, address_.port);
        }
        if (!client_->is_valid()) {
            client_.reset();
            return failure(FailureKind::Other, "no HTTP client for " + address_.host);
        }
        auto micro = [](std::chrono::milliseconds ms) {
            return std::chrono::duration_cast<std::chrono::microseconds>(ms);
        };
        client_->set_connection_timeout(micro(options_.connectTimeout));
        client_->set_read_timeout(micro(options_.replyTimeout));
        client_->set_write_timeout(micro(options_.replyTimeout));
        client_->set_keep_alive(true);
        client_->set_tcp_nodelay(true);
        client_->set_follow_location(false);  // a redirect goes to single sign-on, never followed
        client_->set_url_encode(false);       // the target is encoded here, once
        client_->set_basic_auth(props_.User, props_.Password);
    }
    clientLock.unlock();  // client_ stays until this session ends; only its socket is shut

    std::string target = address_.prefix + request.path + "?";
    for (const auto& [name, value] : request.query) target += percentEncoded(name) + "=" + percentEncoded(value) + "&";
    target += "sap-client=" + percentEncoded(props_.Client) + "&sap-language=" + percentEncoded(props_.Language) +
              "&saml2=disabled";

    httplib::Request req;
    req.method = request.method;
    req.path = target;
    req.headers = {
        {"Accept", request.accept},
        {"Cache-Control", "no-cache"},
        {"x-csrf-token", fetch ? std::string("fetch") : token_},
        {"X-sap-adt-sessiontype", lockWindow_ || request.stateful ? "stateful" : "stateless"},
        {"Accept-Encoding", "identity"},
    };
    if (!cookies_.empty()) {
        std::string cookie;
        for (const auto& [name, value] : cookies_) cookie += (cookie.empty() ? "" : "; ") + name + "=" + value;
        req.headers.emplace("Cookie", cookie);
    }
    if (!request.contentType.empty()) req.headers.emplace("Content-Type", request.contentType);
    req.body = request.body;

    httplib::Response res;
    httplib::Error error = httplib::Error::Success;
    if (!client_->send(req, res, error) || error != httplib::Error::Success) {
        client_->stop();  // a broken connection is not reused
        if (cancelled_ && !request.afterCancel) return cancelledFailure();
        const std::string where = address_.host + ":" + std::to_string(address_.port);
        const FailureKind kind = error == httplib::Error::ConnectionTimeout       ? FailureKind::Timeout
                                 : error == httplib::Error::SSLServerVerification ? FailureKind::Certificate
                                                                                  : FailureKind::Unreachable;
        return failure(kind, "no answer from " + where + " to " + request.method + " " + request.path,
                       httplib::to_string(error));
    }
    AdtResponse response;
    response.status = res.status;
    response.body = std::move(res.body);
    for (const auto& [name, value] : res.headers) response.headers.emplace(lower(name), value);
    response.contentType = response.header("content-type");
    keepCookies(response);  // error answers too: they end dead contexts
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
                       "no ADT service at " + address_.url() + " (is /sap/bc/adt active in SICF?)",
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

std::string exceptionType(const AdtResponse& response) {
    pugi::xml_document doc;
    if (!doc.load_string(response.body.c_str())) return {};
    return doc.document_element().child("type").attribute("id").as_string();
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
