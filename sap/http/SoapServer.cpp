#include "sap/http/SoapServer.h"

#include <chrono>
#include <cstdio>
#include <ctime>

#include "sap/http/GuardedHttpServer.h"
#include "sap/http/SoapService.h"

namespace orvex::sap {

namespace {

constexpr const char* kServicePath = "/sap/bc/soap/rfc";

using Clock = std::chrono::steady_clock;

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

// The SOAP service on the guarded HTTP server: the logon from the headers,
// then the call from the body.
struct SoapServer::Impl {
    Handler handler;
    LogonCheck logonCheck;
    LogSink log;
    Options options;
    std::unique_ptr<GuardedHttpServer> server;  // last: stopped and joined before the rest goes

    void answer(const httplib::Request& req, httplib::Response& res, SoapAnswer answer, Clock::time_point started) {
        res.status = answer.status;
        res.body = std::move(answer.body);
        res.set_header("Content-Type", answer.contentType);
        for (const auto& [name, value] : answer.headers) res.set_header(name, value);
        if (log) {
            auto micros = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - started);
            log(formatLogLine(req.remote_addr, answer.user, req.get_param_value("sap-client"),
                              answer.function.empty() ? "-" : answer.function, answer.status, micros.count(),
                              res.body.size()));
        }
    }

    // The logon is taken before a byte of the body is read; a refusal is answered here.
    bool admit(const httplib::Request& req, httplib::Response& res, ConnectionContext& context) {
        const auto started = Clock::now();
        SoapLogon logon = checkSoapLogon(logonCheck, req.get_header_value("Authorization"),
                                         req.get_param_value("sap-client"), options.clientExists);
        if (!logon.refusal) {
            context.user = std::move(logon.user);
            return true;
        }
        answer(req, res, std::move(*logon.refusal), started);
        return false;
    }

    void call(const httplib::Request& req, httplib::Response& res, std::string body, ConnectionContext& context) {
        const auto started = Clock::now();
        answer(req, res, answerSoapCall(handler, context.user, std::move(body)), started);
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

    Impl* impl = impl_.get();
    GuardedService service;
    service.path = kServicePath;
    service.admit = [impl](const httplib::Request& req, httplib::Response& res, ConnectionContext& context) {
        return impl->admit(req, res, context);
    };
    service.answer = [impl](const httplib::Request& req, httplib::Response& res, std::string body,
                            ConnectionContext& context) { impl->call(req, res, std::move(body), context); };
    service.errorPage = htmlErrorPage;
    const GuardedLimits limits{options.threads,         options.queueLength,    options.maxRequestBytes,
                               options.requestDeadline, options.headerDeadline, options.keepAlive};
    impl_->server = std::make_unique<GuardedHttpServer>(std::move(service), limits);
}

SoapServer::~SoapServer() { impl_->server.reset(); }

Result<int> SoapServer::bind(const std::string& host, int port) { return impl_->server->bind(host, port); }

Status SoapServer::run() { return impl_->server->run(); }

void SoapServer::start() { impl_->server->start(); }

void SoapServer::stop() { impl_->server->stop(); }

}  // namespace orvex::sap
