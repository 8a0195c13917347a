#include "SoapServer.h"

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>

#include "SoapEnvelope.h"

namespace orvex::sap {

namespace {

constexpr const char* kServicePath = "/sap/bc/soap/rfc";

int base64Value(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

// "Basic base64(user:password)" into user and password; false when absent or malformed.
bool parseBasicAuthorization(const std::string& header, std::string& user, std::string& password) {
    if (header.size() < 6) return false;
    for (int i = 0; i < 5; ++i)
        if (std::tolower(static_cast<unsigned char>(header[i])) != "basic"[i]) return false;
    if (header[5] != ' ') return false;
    std::string decoded;
    unsigned bits = 0;
    int count = 0;
    for (std::size_t i = 6; i < header.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(header[i]);
        if (c == '=' || c == ' ') continue;
        int v = base64Value(c);
        if (v < 0) return false;
        bits = (bits << 6) | static_cast<unsigned>(v);
        count += 6;
        if (count >= 8) {
            count -= 8;
            decoded += static_cast<char>((bits >> count) & 0xFF);
        }
    }
    std::size_t colon = decoded.find(':');
    if (colon == std::string::npos) return false;
    user = decoded.substr(0, colon);
    password = decoded.substr(colon + 1);
    return true;
}

std::string htmlPage(int status, const std::string& title, const std::string& text) {
    return "<html><head><title>" + title + "</title></head><body><h1>" + std::to_string(status) + " " + title +
           "</h1><p>" + text + "</p></body></html>";
}

// Keeps user-supplied text on one log line and of bounded length.
std::string printable(const std::string& text) {
    std::string out;
    for (char c : text.substr(0, 64)) out += (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) ? '?' : c;
    return out.empty() ? "-" : out;
}

}  // namespace

std::string formatLogLine(const std::string& peer, const std::string& user, const std::string& client,
                          const std::string& function, int status, long long micros, std::size_t replyBytes) {
    std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &utc);
    char timing[48];
    std::snprintf(timing, sizeof timing, "%lld.%03lldms", micros / 1000, micros % 1000);
    return std::string(stamp) + " " + printable(peer) + " user=" + printable(user) + " client=" + printable(client) +
           " " + printable(function) + " " + std::to_string(status) + " " + timing + " " + std::to_string(replyBytes) +
           "B";
}

struct SoapServer::Impl {
    Handler handler;
    LogonCheck logonCheck;
    LogSink log;
    Options options;
    httplib::Server server;
    std::atomic<bool> bound{false};
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> runActive{false};
    std::thread thread;

    void serve(const httplib::Request& req, httplib::Response& res) {
        const auto started = std::chrono::steady_clock::now();
        std::string user, password, function;
        const std::string client = req.get_param_value("sap-client");
        auto finish = [&](int status, std::string body, const char* contentType) {
            res.status = status;
            res.body = std::move(body);
            res.set_header("Content-Type", contentType);
            if (log) {
                auto micros = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started);
                log(formatLogLine(req.remote_addr, user, client, function.empty() ? "-" : function, status,
                                  micros.count(), res.body.size()));
            }
        };

        if (!parseBasicAuthorization(req.get_header_value("Authorization"), user, password) ||
            !logonCheck(user, password, client)) {
            res.set_header("WWW-Authenticate", "Basic realm=\"SAP NetWeaver Application Server\"");
            finish(401, htmlPage(401, "Unauthorized", "Logon failed"), "text/html; charset=utf-8");
            return;
        }

        std::string body = req.body;
        soap::ParsedRequest parsed = soap::parseRequest(body);
        if (!parsed.request) {
            finish(500, soap::buildFault("UNKNOWN", soap::kInvalidRequest, parsed.error), "text/xml; charset=utf-8");
            return;
        }
        const RfcRequest& request = *parsed.request;
        function = request.function;

        RfcReply reply;
        try {
            reply = handler(request, user);
        } catch (const std::exception& e) {
            reply = RfcReply{};
            reply.exception = soap::kSystemFailure;
            finish(500, soap::buildFault(function, soap::kSystemFailure, e.what()), "text/xml; charset=utf-8");
            return;
        }
        if (!reply.ok) {
            std::string name = reply.exception.empty() ? soap::kSystemFailure : reply.exception;
            finish(500, soap::buildFault(function, name, name), "text/xml; charset=utf-8");
            return;
        }
        finish(200, soap::buildResponse(request, reply), "text/xml; charset=utf-8");
    }
};

SoapServer::SoapServer(Handler handler, LogonCheck logonCheck, LogSink log)
    : SoapServer(std::move(handler), std::move(logonCheck), std::move(log), Options{}) {}

SoapServer::SoapServer(Handler handler, LogonCheck logonCheck, LogSink log, Options options)
    : impl_(std::make_unique<Impl>()) {
    impl_->handler = std::move(handler);
    impl_->logonCheck = std::move(logonCheck);
    impl_->log = std::move(log);
    impl_->options = options;

    httplib::Server& server = impl_->server;
    const std::size_t threads = static_cast<std::size_t>(std::max(1, options.threads));
    server.new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
    server.set_payload_max_length(options.maxRequestBytes);
    server.set_read_timeout(options.readTimeoutSeconds, 0);
    server.set_write_timeout(options.readTimeoutSeconds, 0);
    server.set_keep_alive_timeout(options.keepAliveSeconds);
    server.set_keep_alive_max_count(1000);
    server.set_tcp_nodelay(true);

    Impl* impl = impl_.get();
    server.Post(kServicePath, [impl](const httplib::Request& req, httplib::Response& res) { impl->serve(req, res); });
    // Other paths and methods: an HTML page, as an ICF node that does not exist gives.
    server.set_error_handler([](const httplib::Request&, httplib::Response& res) {
        if (res.body.empty()) {
            const char* title = res.status == 404 ? "Not Found" : res.status == 413 ? "Payload Too Large" : "Error";
            res.set_content(htmlPage(res.status, title, "The service could not be reached."), "text/html; charset=utf-8");
        }
    });
    server.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
        res.status = 500;
        res.set_content(htmlPage(500, "Internal Server Error", "The request failed."), "text/html; charset=utf-8");
    });
}

SoapServer::~SoapServer() {
    stop();
    if (impl_->thread.joinable()) impl_->thread.join();
}

int SoapServer::bind(const std::string& host, int port) {
    int bound = -1;
    if (port == 0) {
        bound = impl_->server.bind_to_any_port(host);
    } else if (impl_->server.bind_to_port(host, port)) {
        bound = port;
    }
    impl_->bound = bound > 0;
    return bound > 0 ? bound : -1;
}

bool SoapServer::run() {
    if (!impl_->bound) return false;
    impl_->runActive = true;
    bool ok = true;
    if (!impl_->stopRequested) ok = impl_->server.listen_after_bind();
    impl_->runActive = false;
    return ok;
}

void SoapServer::start() {
    if (!impl_->bound || impl_->thread.joinable()) return;
    impl_->runActive = true;  // so that an early stop() waits for the listener
    impl_->thread = std::thread([this] { run(); });
    // Return once requests are being accepted (bounded wait).
    for (int i = 0; i < 5000 && impl_->runActive && !impl_->server.is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void SoapServer::stop() {
    impl_->stopRequested = true;
    // A run() that has begun but is not yet listening would miss the stop.
    for (int i = 0; i < 2000 && impl_->runActive && !impl_->server.is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    impl_->server.stop();
}

}  // namespace orvex::sap
