#include "HttpBackend.h"

#include <httplib.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <vector>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "../Backends.h"
#include "SoapEnvelope.h"

namespace orvex::sap {

namespace {

// Exception names of failures outside the called function.
constexpr const char* kLogonFailure = "LOGON_FAILURE";                  // HTTP 401
constexpr const char* kCommunicationFailure = "COMMUNICATION_FAILURE";  // no answer, cut short, too large

std::string percentEncode(const std::string& text) {
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

bool allDigits(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
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

// The table parameters of the function modules ORVEX calls.
const std::map<std::string, std::vector<const char*>> kKnownTables = {
    {"RFC_READ_TABLE", {"OPTIONS", "FIELDS", "DATA"}},
    {"DD_TABL_GET", {"DD03P_TAB_A", "DD05M_TAB_A", "DD08V_TAB_A"}},
    {"BC_PR_INSERT", {"SOURCE"}},
    {"RFC_ABAP_INSTALL_AND_RUN", {"PROGRAM", "WRITES"}},
};

RfcReply failedCall(const std::string& exception, FailureKind kind, std::string reason) {
    RfcReply reply;
    reply.exception = exception;
    reply.failure = failure(kind, std::move(reason), exception);
    return reply;
}

// Ends a call that runs past its time limit however the server behaves (the
// reply timeout alone allows a server to trickle bytes for ever): another
// thread shuts the connection, which makes the blocked send return.
class CallWatchdog {
public:
    CallWatchdog(httplib::ClientImpl& client, std::chrono::milliseconds limit, bool& fired)
        : thread_([this, &client, limit, &fired] {
              std::unique_lock lock(mutex_);
              if (!wake_.wait_for(lock, limit, [this] { return done_; })) {
                  fired = true;
                  client.stop();
              }
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

class HttpBackend final : public RfcBackend {
public:
    HttpBackend(ServiceAddress address, HttpOptions options)
        : address_(std::move(address)), options_(std::move(options)) {}

    Status logon(const ConnectionProperties& props) override {
        logoff();
        if (!address_.valid) return failure(FailureKind::Refused, address_.error);
        target_ = serviceTarget(address_, props.Client);
        user_ = props.User;
        password_ = props.Password;
        client_ = makeClient();
        if (!client_) return failure(FailureKind::Other, "no HTTP client for " + address_.host);
        // One harmless call, so that success means the system took the credentials.
        RfcRequest ping;
        ping.function = "RFC_PING";
        RfcReply reply = call(ping);
        if (reply.ok) return {};
        client_.reset();
        return reply.failure;
    }

    void logoff() override { client_.reset(); }

    RfcReply call(const RfcRequest& request) override {
        if (!client_) return failedCall("NOT_CONNECTED", FailureKind::Other, "not logged on");

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
        std::optional<std::string> envelope = soap::buildRequest(*sent);
        if (!envelope)
            return failedCall(soap::kInvalidRequest, FailureKind::Refused,
                              request.function + ": a value cannot be sent in a SOAP request");

        httplib::Request req;
        req.method = "POST";
        req.path = target_;
        req.headers = {
            {"Content-Type", "text/xml; charset=utf-8"},
            {"SOAPAction", soap::kRfcNamespace},
            {"Accept", "text/xml"},
            // Uncompressed replies: on a local network or loopback, compressing
            // a 25 MB table read takes longer than sending it as it is.
            {"Accept-Encoding", "identity"},
        };
        req.body = std::move(*envelope);

        std::string body;
        bool tooLarge = false;
        req.content_receiver = [&](const char* data, std::size_t length, std::uint64_t, std::uint64_t total) {
            if (body.empty() && total > 0 && total <= options_.maxReplyBytes) body.reserve(total);
            if (body.size() + length > options_.maxReplyBytes) {
                tooLarge = true;
                return false;
            }
            body.append(data, length);
            return true;
        };

        httplib::Response res;
        httplib::Error error = httplib::Error::Success;
        bool sentOk = false;
        bool overtime = false;
        {
            CallWatchdog watchdog(*client_, options_.callTimeout, overtime);
            sentOk = client_->send(req, res, error);
        }
        if (!sentOk || error != httplib::Error::Success || tooLarge || overtime) {
            // A broken connection must not be reused for the next call.
            client_->stop();
            return failedCall(kCommunicationFailure, FailureKind::Unreachable,
                              "no answer from " + address_.host + ":" + std::to_string(address_.port) + " (" +
                                  httplib::to_string(error) + ")");
        }
        if (res.status == 401)
            return failedCall(kLogonFailure, FailureKind::Logon, "the system refused the user name or password");
        if (res.status != 200 && res.status != 500)
            return failedCall("HTTP_" + std::to_string(res.status), FailureKind::Service,
                              "HTTP status " + std::to_string(res.status));

        RfcReply reply = soap::parseReply(*sent, body);
        if (reply.ok && res.status != 200)
            return failedCall(soap::kInvalidResponse, FailureKind::Reply, "the answer is not the function's reply");
        if (!reply.ok && reply.failure.reason.empty())
            reply.failure = failure(FailureKind::Function, request.function + " failed: " + reply.exception,
                                    reply.exception);
        return reply;
    }

private:
    std::unique_ptr<httplib::ClientImpl> makeClient() const {
        std::unique_ptr<httplib::ClientImpl> client;
        if (address_.https) {
            auto ssl = std::make_unique<httplib::SSLClient>(address_.host, address_.port);
            if (!options_.caFile.empty() || !options_.caDirectory.empty())
                ssl->set_ca_cert_path(options_.caFile, options_.caDirectory);
            ssl->enable_server_certificate_verification(true);
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
        client->set_follow_location(false);
        client->set_tcp_nodelay(true);
        client->set_url_encode(false);  // the target is encoded already
        client->set_basic_auth(user_, password_);
        return client;
    }

    ServiceAddress address_;
    HttpOptions options_;
    std::string target_;
    std::string user_, password_;
    std::unique_ptr<httplib::ClientImpl> client_;
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
    return address.basePath + "/sap/bc/soap/rfc?sap-client=" + percentEncode(client) + "&sap-language=EN";
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
