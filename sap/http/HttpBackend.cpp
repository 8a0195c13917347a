#include "HttpBackend.h"

#include <fcntl.h>
#include <httplib.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <sys/socket.h>
#include <unistd.h>

#include <pugixml.hpp>

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "../Backends.h"
#include "SoapEnvelope.h"

namespace orvex::sap {

namespace {

// Exception names of failures outside the called function.
constexpr const char* kLogonFailure = "LOGON_FAILURE";                  // HTTP 401
constexpr const char* kCommunicationFailure = "COMMUNICATION_FAILURE";  // no answer, cut short, too large
constexpr const char* kCancelled = "CANCELLED";
constexpr int kMaxRedirects = 5;

bool allDigits(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// Splits "host", "host:port", "[v6]" or "[v6]:port"; false when malformed.
bool splitHostPort(const std::string& authority, std::string& host, std::string& port) {
    if (!authority.empty() && authority[0] == '[') {
        std::size_t close = authority.find(']');
        if (close == std::string::npos) return false;
        host = authority.substr(1, close - 1);
        std::string rest = authority.substr(close + 1);
        if (rest.empty()) return !host.empty();
        if (rest[0] != ':') return false;
        port = rest.substr(1);
        return !host.empty() && allDigits(port);
    }
    std::size_t colon = authority.find(':');
    host = authority.substr(0, colon);
    if (colon != std::string::npos) {
        port = authority.substr(colon + 1);
        if (!allDigits(port)) return false;
    }
    return !host.empty() && host.find_first_of(" \t/?#@") == std::string::npos;
}

ServiceAddress invalid(std::string why) {
    ServiceAddress address;
    address.error = std::move(why);
    return address;
}

std::string hostPort(const ServiceAddress& address) {
    const std::string host = address.host.find(':') != std::string::npos ? "[" + address.host + "]" : address.host;
    return host + ":" + std::to_string(address.port);
}

std::string duration(std::chrono::milliseconds limit) {
    return limit.count() % 1000 == 0 ? std::to_string(limit.count() / 1000) + " s"
                                     : std::to_string(limit.count()) + " ms";
}

// The table parameters of the function modules ORVEX calls.
const std::map<std::string, std::vector<const char*>> kKnownTables = {
    {"RFC_READ_TABLE", {"OPTIONS", "FIELDS", "DATA"}},
    {"DD_TABL_GET", {"DD03P_TAB_A", "DD05M_TAB_A", "DD08V_TAB_A"}},
    {"BC_PR_INSERT", {"SOURCE"}},
    {"RFC_ABAP_INSTALL_AND_RUN", {"PROGRAM", "WRITES"}},
};

RfcReply failedCall(const std::string& exception, FailureKind kind, std::string reason, std::string detail) {
    RfcReply reply;
    reply.exception = exception;
    reply.failure = failure(kind, std::move(reason), std::move(detail));
    return reply;
}

// ---- what an HTML page says --------------------------------------------------

// Blanks and line ends run together into one blank, none at either end.
std::string collapsed(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 6, "&nbsp;") == 0) {
            out += ' ';
            i += 5;
        } else if (std::isspace(static_cast<unsigned char>(text[i]))) {
            out += ' ';
        } else {
            out += text[i];
        }
    }
    out.erase(std::unique(out.begin(), out.end(), [](char a, char b) { return a == ' ' && b == ' '; }), out.end());
    if (!out.empty() && out.front() == ' ') out.erase(0, 1);
    if (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

// The text of a page, one entry per block (heading, paragraph, cell...):
// inline elements stay part of their line.
void textLines(pugi::xml_node node, std::vector<std::string>& lines, std::string& line, int depth) {
    static const char* const kInline[] = {"a",    "b",     "i",   "u",  "em",    "strong", "span", "font",
                                          "code", "small", "big", "tt", "label", "abbr",   "nobr"};
    auto flush = [&] {
        if (std::string text = collapsed(line); !text.empty()) lines.push_back(std::move(text));
        line.clear();
    };
    if (depth > 64) return;  // a page nested deeper than any real one
    for (pugi::xml_node n = node.first_child(); n; n = n.next_sibling()) {
        if (n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata) {
            line += n.value();
        } else if (n.type() == pugi::node_element) {
            std::string name = lower(n.name());
            if (name == "head" || name == "title" || name == "script" || name == "style") continue;
            const bool block =
                std::none_of(std::begin(kInline), std::end(kInline), [&](const char* e) { return name == e; });
            if (block) flush();
            textLines(n, lines, line, depth + 1);
            if (block) flush();
        }
    }
    if (depth == 0) flush();
}

// The first line of text of an HTML page's body, other than `status` (the
// page's heading mostly repeats the status line); for a body that is no
// markup, its first line. "" when there is none. HTML pages are seldom
// well-formed XML: what parses up to the first fault is enough for the first
// lines.
std::string firstTextLine(const std::string& page, const std::string& status) {
    constexpr std::size_t kLongest = 200;
    std::vector<std::string> lines;
    const std::string head = page.substr(0, 65536);
    const std::string trimmedHead = collapsed(head.substr(0, 256));
    if (!trimmedHead.empty() && trimmedHead[0] == '<') {
        const std::size_t body = lower(head).find("<body");
        pugi::xml_document doc;
        const std::string part = head.substr(body == std::string::npos ? 0 : body);
        doc.load_buffer(part.data(), part.size(), pugi::parse_default | pugi::parse_fragment, pugi::encoding_utf8);
        std::string line;
        textLines(doc, lines, line, 0);
    } else {
        for (std::size_t at = 0; at < head.size();) {
            std::size_t end = std::min(head.find('\n', at), head.size());
            if (std::string text = collapsed(head.substr(at, end - at)); !text.empty()) lines.push_back(text);
            at = end + 1;
        }
    }
    const std::string repeated = lower(status);
    for (std::string& line : lines) {
        if (repeated.size() >= line.size() &&
            repeated.compare(repeated.size() - line.size(), line.size(), lower(line)) == 0)
            continue;  // "401 Unauthorized" under "HTTP 401 Unauthorized"
        if (line.size() > kLongest) {
            std::size_t cut = kLongest;
            while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;  // whole characters
            line = line.substr(0, cut) + "...";
        }
        return line;
    }
    return {};
}

// SAP's logon page: some systems answer a refused logon with 403 and this page.
bool isLogonPage(const std::string& body) {
    const std::string text = lower(body.substr(0, 65536));
    for (const char* mark : {"sap-user", "sap-password", "logon failed", "anmeldung fehlgeschlagen"})
        if (text.find(mark) != std::string::npos) return true;
    return false;
}

std::string statusLine(const httplib::Response& res) {
    return "HTTP " + std::to_string(res.status) + (res.reason.empty() ? "" : " " + res.reason);
}

// ---- TLS -------------------------------------------------------------------

std::string nameText(X509_NAME* name) {
    if (!name) return {};
    BIO* out = BIO_new(BIO_s_mem());
    X509_NAME_print_ex(out, name, 0, XN_FLAG_RFC2253);
    char* data = nullptr;
    const long size = BIO_get_mem_data(out, &data);
    std::string text(data, static_cast<std::size_t>(std::max(0L, size)));
    BIO_free(out);
    return text;
}

// The certificate the server showed, kept while it is checked as usual, so
// that a refusal can name it.
struct PeerCertificate {
    std::string subject, issuer;
    static int verify(X509_STORE_CTX* store, void* self) {
        auto* seen = static_cast<PeerCertificate*>(self);
        if (X509* cert = X509_STORE_CTX_get0_cert(store)) {
            seen->subject = nameText(X509_get_subject_name(cert));
            seen->issuer = nameText(X509_get_issuer_name(cert));
        }
        return X509_verify_cert(store);
    }
};

// ---- the call's time limit ---------------------------------------------------

// Ends a call that runs past its time limit however the server behaves (the
// reply timeout alone allows a server to trickle bytes for ever).
class CallWatchdog {
public:
    CallWatchdog(std::chrono::milliseconds limit, std::function<void()> overtime)
        : thread_([this, limit, overtime = std::move(overtime)] {
              std::unique_lock lock(mutex_);
              if (!wake_.wait_for(lock, limit, [this] { return done_; })) overtime();
          }) {}
    ~CallWatchdog() {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        wake_.notify_one();
        thread_.join();
    }
    CallWatchdog(const CallWatchdog&) = delete;
    CallWatchdog& operator=(const CallWatchdog&) = delete;

private:
    std::mutex mutex_;
    std::condition_variable wake_;
    bool done_ = false;
    std::thread thread_;
};

// Where a redirection points: the new address and request target, or why it is not followed.
struct Redirection {
    ServiceAddress address;
    std::string target;
    std::string refusal;  // "" when it may be followed
};

Redirection redirection(const ServiceAddress& from, const std::string& location) {
    Redirection to;
    std::string url = location.substr(0, location.find('#'));
    const std::size_t query = url.find('?');
    std::string path = url.substr(0, query), rest = query == std::string::npos ? std::string() : url.substr(query);
    if (!path.empty() && path[0] == '/' && path.rfind("//", 0) != 0) {  // same host, another path
        to.address = from;
        to.target = path + rest;
        if (path.find_first_of(" \t\r\n") != std::string::npos)
            to.refusal = "the redirection to \"" + location + "\" is not a usable path";
        return to;
    }
    ConnectionProperties props;
    props.ApplicationServer = path;
    to.address = resolveServiceAddress(props);
    if (!to.address.valid || (path.rfind("http://", 0) != 0 && path.rfind("https://", 0) != 0)) {
        to.refusal = "the service redirects to \"" + location + "\", which is no http or https address";
    } else if (lower(to.address.host) != lower(from.host)) {
        // The password goes with every request: never to a host the user did not name.
        to.refusal = "the service redirects to another host, " + location +
                     "; not followed, so that the password stays with " + from.host +
                     ": enter that address as the application server if it is right";
    } else if (from.https && !to.address.https) {
        to.refusal = "the service redirects from https to " + location +
                     "; not followed, since the password would travel unencrypted";
    }
    to.target = to.address.basePath + rest;
    return to;
}

class HttpBackend final : public RfcBackend {
public:
    HttpBackend(ServiceAddress address, HttpOptions options)
        : given_(address), address_(std::move(address)), options_(std::move(options)) {}
    ~HttpBackend() override { logoff(); }

    Status logon(const ConnectionProperties& props) override {
        logoff();
        if (!given_.valid) return failure(FailureKind::Refused, given_.error);
        address_ = given_;
        target_ = serviceTarget(address_, props.Client);
        user_ = props.User;
        password_ = props.Password;
        client_ = props.Client;
        loggedOn_ = true;
        // One harmless call, so that success means the system took the
        // credentials. Only HTTP's refusal (401, or 403 with SAP's logon page)
        // means the logon was refused: a SOAP fault comes from the service
        // running the call for the logged-on user (RFC_PING may be forbidden
        // to it), so the logon stands and the fault is told with the next
        // failure, where it may explain it.
        RfcRequest ping;
        ping.function = "RFC_PING";
        RfcReply reply = exchange(ping);
        if (reply.ok) return {};
        if (reply.failure.kind == FailureKind::Function) {
            logonFault_ = "at logon: " + reply.failure.text();
            return {};
        }
        logoff();
        return reply.failure;
    }

    void logoff() override {
        http_.reset();
        loggedOn_ = false;
        logonFault_.clear();
        std::lock_guard lock(abortMutex_);
        dropSocketCopy();
    }

    // Shuts the connection's socket down, which ends a connect, handshake,
    // send or wait on it at once; never blocks on the HTTP client.
    void cancel() override {
        std::lock_guard lock(abortMutex_);
        if (!callRunning_) return;
        cancelled_ = true;
        if (socketCopy_ >= 0) ::shutdown(socketCopy_, SHUT_RDWR);
    }

    RfcReply call(const RfcRequest& request) override {
        if (!loggedOn_) return failedCall("NOT_CONNECTED", FailureKind::Other, "not logged on", "NOT_CONNECTED");
        RfcReply reply = exchange(request);
        if (!reply.ok && !logonFault_.empty()) {
            reply.failure.detail += (reply.failure.detail.empty() ? "" : "; ") + logonFault_;
            logonFault_.clear();
        }
        return reply;
    }

private:
    // One call over HTTP, following redirections on the same host.
    RfcReply exchange(const RfcRequest& request) {
        // The service returns only the tables a request names, while SAP's
        // RFC component knows each function's interface and hands back all
        // of them. Naming the tables of the functions ORVEX calls keeps the
        // two alike, whatever the caller touched before the call; FIELDS of
        // RFC_READ_TABLE also gives the row width that restores stripped blanks.
        const RfcRequest* sent = &request;
        RfcRequest completed;
        if (auto known = kKnownTables.find(request.function); known != kKnownTables.end()) {
            for (const char* table : known->second) {
                if (request.tables.count(table)) continue;
                if (sent == &request) completed = request, sent = &completed;
                completed.tables[table];
            }
        }
        // Refused before anything leaves: the service would reject the
        // document, or take a value other than the one given.
        const std::string unsendable = soap::unsendable(*sent);
        std::optional<std::string> envelope = unsendable.empty() ? soap::buildRequest(*sent) : std::nullopt;
        if (!envelope)
            return failedCall(soap::kInvalidRequest, FailureKind::Refused,
                              request.function + " was not sent: " + unsendable + "; remove it and try again",
                              "XML 1.0 cannot carry it");

        httplib::Request req;
        req.method = "POST";
        req.headers = {
            {"Content-Type", "text/xml; charset=utf-8"},
            {"SOAPAction", soap::kRfcNamespace},
            {"Accept", "text/xml"},
            // Uncompressed replies: on a local network or loopback, compressing
            // a 25 MB table read takes longer than sending it as it is.
            {"Accept-Encoding", "identity"},
        };
        req.body = std::move(*envelope);

        // From here until the answer is in, cancel() acts on this call.
        {
            std::lock_guard lock(abortMutex_);
            callRunning_ = true, cancelled_ = false;
        }
        struct Finished {
            HttpBackend& backend;
            ~Finished() {
                std::lock_guard lock(backend.abortMutex_);
                backend.callRunning_ = false;
            }
        } finished{*this};

        for (int redirects = 0;; ++redirects) {
            req.path = target_;
            std::string body;
            httplib::Response res;
            if (std::optional<RfcReply> broken = post(req, res, body)) return *broken;
            if (res.status == 301 || res.status == 302 || res.status == 303 || res.status == 307 || res.status == 308) {
                const std::string location = res.get_header_value("Location");
                if (redirects == kMaxRedirects)
                    return failedCall("HTTP_" + std::to_string(res.status), FailureKind::Service,
                                      "the service at " + hostPort(address_) + " redirected more than " +
                                          std::to_string(kMaxRedirects) + " times: check the application server",
                                      statusLine(res) + " to " + location);
                Redirection to = redirection(address_, location);
                if (!to.refusal.empty())
                    return failedCall("HTTP_" + std::to_string(res.status), FailureKind::Refused, to.refusal,
                                      statusLine(res));
                // The request goes again, as it was, to the new place; later
                // calls go there at once.
                if (to.address.https != address_.https || to.address.port != address_.port) {
                    http_.reset();
                    std::lock_guard lock(abortMutex_);
                    dropSocketCopy();
                }
                address_ = to.address;
                target_ = to.target;
                continue;
            }
            return answer(request, *sent, res, body);
        }
    }

    // Sends `req` and takes the answer into `res` and `body`; a failure when
    // none came.
    std::optional<RfcReply> post(httplib::Request& req, httplib::Response& res, std::string& body) {
        if (!http_) http_ = makeClient();
        if (!http_)
            return failedCall(kCommunicationFailure, FailureKind::Other, "no HTTP client for " + hostPort(address_),
                              "");

        bool tooLarge = false;
        auto lastData = std::chrono::steady_clock::now();
        req.content_receiver = [&](const char* data, std::size_t length, std::uint64_t, std::uint64_t total) {
            lastData = std::chrono::steady_clock::now();
            if (body.empty() && total > 0 && total <= options_.maxReplyBytes) body.reserve(total);
            if (body.size() + length > options_.maxReplyBytes) {
                tooLarge = true;
                return false;
            }
            body.append(data, length);
            return true;
        };

        {
            std::lock_guard lock(abortMutex_);
            overtime_ = false, socketsMade_ = 0;
            if (cancelled_) return failedCall(kCancelled, FailureKind::Cancelled, "Cancelled", "");
        }
        httplib::Error error = httplib::Error::Success;
        bool sentOk = false;
        {
            CallWatchdog watchdog(options_.callTimeout, [this] {
                std::lock_guard lock(abortMutex_);
                overtime_ = true;
                if (socketCopy_ >= 0) ::shutdown(socketCopy_, SHUT_RDWR);
            });
            sentOk = http_->send(req, res, error);
        }
        bool cancelled, overtime, socketMade;
        {
            std::lock_guard lock(abortMutex_);
            cancelled = cancelled_, overtime = overtime_, socketMade = socketsMade_ > 0;
        }
        if (sentOk && error == httplib::Error::Success && !tooLarge && !overtime && !cancelled) return std::nullopt;

        // A broken or abandoned connection is never reused.
        http_->stop();
        {
            std::lock_guard lock(abortMutex_);
            dropSocketCopy();
        }
        const std::string where = hostPort(address_);
        const std::string said = "HTTP client error " + httplib::to_string(error);
        if (cancelled) return failedCall(kCancelled, FailureKind::Cancelled, "Cancelled", "");
        if (tooLarge)
            return failedCall(
                kCommunicationFailure, FailureKind::Reply,
                "the answer is larger than " + std::to_string(options_.maxReplyBytes >> 20) + " MB: ask for fewer rows",
                "");
        if (overtime)
            return failedCall(kCommunicationFailure, FailureKind::Timeout,
                              "the answer from " + where + " took longer than " + duration(options_.callTimeout) +
                                  ": the system or the network is too slow; try again later",
                              said);
        switch (error) {
            case httplib::Error::Connection:
                if (!socketMade)
                    return failedCall(kCommunicationFailure, FailureKind::Unreachable,
                                      "host name " + address_.host + " not found: check the application server", said);
                return failedCall(kCommunicationFailure, FailureKind::Unreachable,
                                  "no connection to " + where +
                                      ": connection refused; check the application server and system number (the "
                                      "HTTP port) and that the system runs",
                                  said);
            case httplib::Error::ConnectionTimeout:
                return failedCall(kCommunicationFailure, FailureKind::Timeout,
                                  "no connection to " + where + " within " + duration(options_.connectTimeout) +
                                      ": check the application server, the port and any firewall between",
                                  said);
            case httplib::Error::SSLServerVerification: return untrusted(said);
            case httplib::Error::SSLLoadingCerts:
                return failedCall(kCommunicationFailure, FailureKind::Certificate,
                                  "the trusted certificates could not be loaded: check the CA file or folder",
                                  said + (options_.caFile.empty() ? std::string() : ": " + options_.caFile));
            case httplib::Error::SSLConnection:
                return failedCall(kCommunicationFailure, FailureKind::Unreachable,
                                  "no TLS connection to " + where + ": check that it is the system's HTTPS port", said);
            default: break;
        }
        // Silence for the whole reply timeout, or a connection cut short.
        if (std::chrono::steady_clock::now() - lastData >= options_.replyTimeout * 9 / 10)
            return failedCall(kCommunicationFailure, FailureKind::Timeout,
                              "no answer from " + where + " within " + duration(options_.replyTimeout) +
                                  ": the system may be overloaded; try again later",
                              said);
        return failedCall(kCommunicationFailure, FailureKind::Unreachable,
                          "the connection to " + where + " broke off before the answer was complete: try again", said);
    }

    RfcReply untrusted(const std::string& said) {
        const long verdict = static_cast<httplib::SSLClient&>(*http_).get_openssl_verify_result();
        const std::string shown = peer_.subject.empty() ? "of " + hostPort(address_) : "\"" + peer_.subject + "\"";
        if (verdict != X509_V_OK)
            return failedCall(kCommunicationFailure, FailureKind::Certificate,
                              "the server certificate " + shown +
                                  " is not trusted: install its issuer's CA certificate on this computer",
                              std::string(X509_verify_cert_error_string(verdict)) +
                                  (peer_.issuer.empty() ? "" : ", issued by " + peer_.issuer));
        return failedCall(kCommunicationFailure, FailureKind::Certificate,
                          "the server certificate " + shown + " is not for host " + address_.host +
                              ": use the host name the certificate names",
                          said);
    }

    // The failure an HTTP answer means, or the function's reply.
    RfcReply answer(const RfcRequest& request, const RfcRequest& sent, const httplib::Response& res,
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
                              status.substr(5) + ": service " + address_.basePath +
                                  "/sap/bc/soap/rfc is not active; ask the administrator to "
                                  "activate it in transaction SICF",
                              described());
        if (res.status != 200 && res.status != 500)
            return failedCall("HTTP_" + std::to_string(res.status), FailureKind::Service,
                              status + " from " + hostPort(address_) +
                                  " instead of the service's answer: check the application server",
                              described());

        const std::string contentType = res.get_header_value("Content-Type");
        const bool markup = contentType.find("xml") == std::string::npos;
        const std::string page = markup ? described() : std::string();
        RfcReply reply = soap::parseReply(sent, body);
        if (reply.ok && res.status != 200)
            return failedCall(soap::kInvalidResponse, FailureKind::Reply,
                              "the system's answer is not the reply of " + request.function, status);
        if (!reply.ok && reply.failure.kind == FailureKind::Reply) {
            reply.failure.reason += ": check that the application server is the SAP system's HTTP address";
            if (markup) reply.failure.detail = page + (contentType.empty() ? "" : " (" + contentType + ")");
        }
        return reply;
    }

    std::unique_ptr<httplib::ClientImpl> makeClient() {
        std::unique_ptr<httplib::ClientImpl> client;
        if (address_.https) {
            auto ssl = std::make_unique<httplib::SSLClient>(address_.host, address_.port);
            if (!options_.caFile.empty() || !options_.caDirectory.empty())
                ssl->set_ca_cert_path(options_.caFile, options_.caDirectory);
            ssl->enable_server_certificate_verification(true);
            if (SSL_CTX* context = ssl->ssl_context())
                SSL_CTX_set_cert_verify_callback(context, PeerCertificate::verify, &peer_);
            client = std::move(ssl);
        } else {
            client = std::make_unique<httplib::ClientImpl>(address_.host, address_.port);
        }
        if (!client->is_valid()) return nullptr;
        auto micro = [](std::chrono::milliseconds ms) { return std::chrono::duration_cast<std::chrono::microseconds>(ms); };
        client->set_connection_timeout(micro(options_.connectTimeout));
        client->set_read_timeout(micro(options_.replyTimeout));
        client->set_write_timeout(micro(options_.replyTimeout));
        client->set_keep_alive(true);
        client->set_follow_location(false);  // followed here, and only on the same host
        client->set_tcp_nodelay(true);
        client->set_url_encode(false);  // the target is encoded already
        client->set_basic_auth(user_, password_);
        // A copy of each socket the client makes, so that cancel() and the
        // call's time limit can shut it down from another thread. The copy
        // keeps the socket itself until it is dropped, so that a number the
        // client closed and the system reused is never shut down.
        client->set_socket_options([this](socket_t socket) {
            std::lock_guard lock(abortMutex_);
            dropSocketCopy();
            socketCopy_ = ::fcntl(socket, F_DUPFD_CLOEXEC, 0);
            ++socketsMade_;
            if (cancelled_ && socketCopy_ >= 0) ::shutdown(socketCopy_, SHUT_RDWR);
        });
        return client;
    }

    void dropSocketCopy() {  // abortMutex_ held
        if (socketCopy_ >= 0) ::close(socketCopy_);
        socketCopy_ = -1;
    }

    const ServiceAddress given_;
    ServiceAddress address_;  // given_, or where a redirection led
    HttpOptions options_;
    std::string target_;
    std::string user_, password_, client_;
    bool loggedOn_ = false;
    std::string logonFault_;  // a SOAP fault of the logon's RFC_PING, told with the next failure
    std::unique_ptr<httplib::ClientImpl> http_;
    PeerCertificate peer_;

    std::mutex abortMutex_;  // guards the members below; cancel() comes from another thread
    int socketCopy_ = -1;
    int socketsMade_ = 0;
    bool callRunning_ = false;
    bool cancelled_ = false;
    bool overtime_ = false;
};

}  // namespace

ServiceAddress resolveServiceAddress(const ConnectionProperties& props) {
    const std::string& server = props.ApplicationServer;
    ServiceAddress address;
    std::string rest;
    if (server.rfind("http://", 0) == 0) {
        rest = server.substr(7);
    } else if (server.rfind("https://", 0) == 0) {
        address.https = true;
        rest = server.substr(8);
    } else {
        // A bare host: the ICM's HTTP port 80NN of the instance.
        const std::string& number = props.SystemNumber;
        if (!allDigits(number) || number.size() > 2)
            return invalid("system number \"" + number + "\" is not one or two digits");
        std::string port;
        if (!splitHostPort(server, address.host, port) || !port.empty())
            return invalid("application server \"" + server + "\" is not a host name");
        address.port = 8000 + std::stoi(number);
        address.valid = true;
        return address;
    }
    std::size_t slash = rest.find_first_of("/?#");
    std::string authority = rest.substr(0, slash);
    std::string path = slash == std::string::npos ? std::string() : rest.substr(slash);
    if (path.find_first_of("?#") != std::string::npos)
        return invalid("the base URL \"" + server + "\" carries a query or fragment");
    if (path.find_first_of(" \t\r\n") != std::string::npos)
        return invalid("the base URL \"" + server + "\" contains blanks");
    while (!path.empty() && path.back() == '/') path.pop_back();
    std::string port;
    if (authority.find('@') != std::string::npos || !splitHostPort(authority, address.host, port))
        return invalid("the base URL \"" + server + "\" has no usable host");
    if (port.empty()) {
        address.port = address.https ? 443 : 80;
    } else {
        if (port.size() > 5 || std::stoi(port) < 1 || std::stoi(port) > 65535)
            return invalid("port " + port + " is out of range");
        address.port = std::stoi(port);
    }
    address.basePath = path;
    address.valid = true;
    return address;
}

std::string serviceTarget(const ServiceAddress& address, const std::string& client) {
    return address.basePath + "/sap/bc/soap/rfc?sap-client=" + httplib::detail::encode_query_param(client) +
           "&sap-language=EN";
}

std::unique_ptr<RfcBackend> makeHttpBackend(const ConnectionProperties& props, const HttpOptions& options) {
    return std::make_unique<HttpBackend>(resolveServiceAddress(props), options);
}

std::unique_ptr<RfcBackend> makeHttpBackend(const ConnectionProperties& props) {
    return makeHttpBackend(props, HttpOptions{});
}

BackendFactory httpBackendFactory(const HttpOptions& options) {
    return [options](const ConnectionProperties& props) { return makeHttpBackend(props, options); };
}

}  // namespace orvex::sap
