#include "SoapServer.h"

#include <fcntl.h>
#include <httplib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <thread>

namespace orvex::sap {

namespace {

constexpr const char* kServicePath = "/sap/bc/soap/rfc";

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
    std::thread thread;

    // The server's own stop() acts only once its accept loop has begun, so a
    // stop between bind() and that moment would be lost. A duplicate of the
    // listening socket lets a stop shut the socket down at any time; the
    // accept loop then ends at once, whenever it begins.
    std::mutex mutex;  // guards the three below
    int listener = -1;
    bool bound = false;
    bool stopped = false;

    void serve(const httplib::Request& req, httplib::Response& res) {
        const auto started = std::chrono::steady_clock::now();
        const std::string client = req.get_param_value("sap-client");
        SoapAnswer answer = answerSoapRequest(handler, logonCheck, req.get_header_value("Authorization"), client,
                                              req.body, options.clientExists);
        res.status = answer.status;
        res.body = std::move(answer.body);
        res.set_header("Content-Type", answer.contentType);
        for (const auto& [name, value] : answer.headers) res.set_header(name, value);
        if (log) {
            auto micros = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started);
            log(formatLogLine(req.remote_addr, answer.user, client, answer.function.empty() ? "-" : answer.function,
                              answer.status, micros.count(), res.body.size()));
        }
    }

    void closeListener() {
        if (listener >= 0) ::close(listener);
        listener = -1;
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
            res.set_content(htmlErrorPage(res.status, title, "The service could not be reached."), "text/html; charset=utf-8");
        }
    });
    server.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
        res.status = 500;
        res.set_content(htmlErrorPage(500, "Internal Server Error", "The request failed."), "text/html; charset=utf-8");
    });
}

SoapServer::~SoapServer() {
    stop();
    if (impl_->thread.joinable()) impl_->thread.join();
}

int SoapServer::bind(const std::string& host, int port) {
    std::lock_guard lock(impl_->mutex);
    if (impl_->stopped || impl_->bound) return -1;
    Impl* impl = impl_.get();
    // Called for each socket tried; the last one is the one bound.
    impl_->server.set_socket_options([impl](socket_t socket) {
        httplib::default_socket_options(socket);
        impl->closeListener();
        impl->listener = ::fcntl(socket, F_DUPFD_CLOEXEC, 0);
    });
    int bound = -1;
    if (port == 0) {
        bound = impl_->server.bind_to_any_port(host);
    } else if (impl_->server.bind_to_port(host, port)) {
        bound = port;
    }
    impl_->bound = bound > 0 && impl_->listener >= 0;
    if (!impl_->bound) impl_->closeListener();
    return impl_->bound ? bound : -1;
}

bool SoapServer::run() {
    {
        std::lock_guard lock(impl_->mutex);
        if (!impl_->bound) return false;
    }
    // After a stop, however early, this returns at once.
    const bool ok = impl_->server.listen_after_bind();
    std::lock_guard lock(impl_->mutex);
    return ok || impl_->stopped;
}

void SoapServer::start() {
    {
        std::lock_guard lock(impl_->mutex);
        if (!impl_->bound || impl_->thread.joinable()) return;
    }
    // The socket listens already: connections made from now on wait in its
    // queue until the thread accepts them.
    impl_->thread = std::thread([this] { run(); });
}

void SoapServer::stop() {
    std::lock_guard lock(impl_->mutex);
    if (impl_->stopped) return;
    impl_->stopped = true;
    if (impl_->server.is_running()) {
        // The accept loop runs: the server's own stop also ends idle keep-alive connections.
        impl_->server.stop();
    } else if (impl_->listener >= 0) {
        // Not yet (or no longer) accepting: a socket shut down takes no
        // connections, and an accept loop that begins later ends at once.
        ::shutdown(impl_->listener, SHUT_RDWR);
    }
    impl_->closeListener();
}

}  // namespace orvex::sap
