#include "sap/http/GuardedHttpServer.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

#include "common/platform/Network.h"
#include "sap/http/ConnectionPool.h"
#include "sap/http/ConnectionStream.h"

namespace orvex::sap {

namespace {

using Clock = std::chrono::steady_clock;

// The requests in hand, each with the context of its connection: the
// library hands its handlers the request alone.
class ContextsInHand {
public:
    void add(const httplib::Request& req, ConnectionContext& context) {
        std::lock_guard lock(mutex_);
        contexts_[&req] = &context;
    }
    void remove(const httplib::Request* req) {
        std::lock_guard lock(mutex_);
        contexts_.erase(req);
    }
    // Every handler runs after the request was added.
    ConnectionContext& of(const httplib::Request& req) const {
        std::lock_guard lock(mutex_);
        return *contexts_.at(&req);
    }

private:
    mutable std::mutex mutex_;
    std::map<const httplib::Request*, ConnectionContext*> contexts_;
};

// The body's announced length; nullopt when none is announced or it does not parse.
std::optional<unsigned long long> announcedLength(const httplib::Request& req) {
    if (!req.has_header("Content-Length")) return std::nullopt;
    const std::string text = req.get_header_value("Content-Length");
    unsigned long long length = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), length);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return length;
}

bool carriesBody(const httplib::Request& req) {
    if (req.has_header("Transfer-Encoding")) return true;
    if (!req.has_header("Content-Length")) return false;
    const auto length = announcedLength(req);
    return !length || *length > 0;
}

// The HTTP server whose connections are served through ConnectionStream:
// the library parses and routes each request, the stream holds the client
// to its limits, and the worker queue is bounded.
class GuardedServer final : public httplib::Server {
public:
    GuardedLimits limits;
    std::string turnAwayAnswer;    // the whole answer of a connection turned away
    WorkerQueue* queue = nullptr;  // made by new_task_queue when serving begins
    LiveConnections live;
    ContextsInHand contexts;

    bool othersWait() const { return queue && queue->waiting() > 0; }

    // One connection, from its first byte to its last, on a worker.
    void serveConnection(int sock, Clock::time_point accepted) {
        if (!live.add(sock)) {
            platform::closeSocket(sock);
            return;
        }
        ConnectionStream stream(sock, limits.requestDeadline, limits.headerDeadline,
                                limits.maxRequestBytes + kHeaderAllowance, [this] { return othersWait(); });
        bool gently = false;
        const std::size_t most = std::max<std::size_t>(keep_alive_max_count_, 1);
        for (std::size_t served = 0; served < most && svr_sock_ != INVALID_SOCKET; ++served) {
            if (!(served == 0 ? stream.awaitFirstRequest(accepted) : stream.awaitNextRequest(limits.keepAlive))) break;
            // The connection's last request when others wait for a worker.
            const bool last = served + 1 == most || othersWait();
            ConnectionContext context;
            const httplib::Request* inHand = nullptr;
            const auto setUp = [&](httplib::Request& req) {
                stream.headArrived();
                contexts.add(req, context);
                inHand = &req;
            };
            bool closed = false;
            const bool answered = process_request(stream, last, closed, setUp);
            if (inHand) contexts.remove(inHand);
            gently = (context.closeAfterAnswer || stream.brokeALimit()) && !stream.lostInHead();
            if (!answered || closed || last || context.last || gently || stream.brokeALimit()) break;
        }
        live.remove(sock);
        if (gently) {
            closeGently(sock);
        } else {
            platform::shutDown(sock, platform::Shut::Both);
            platform::closeSocket(sock);
        }
    }

private:
    // The library's accept loop hands each accepted connection here, on the
    // accepting thread: it waits for a worker, or is turned away at once.
    bool process_and_close_socket(socket_t sock) override {
        if (queue->take(sock)) return true;
        turnAway(sock, turnAwayAnswer);
        return false;
    }
};

}  // namespace

struct GuardedHttpServer::Impl {
    GuardedService service;
    GuardedServer server;
    std::thread thread;

    // The server's own stop() acts only once its accept loop has begun, so a
    // stop between bind() and that moment would be lost. A duplicate of the
    // listening socket lets a stop shut the socket down at any time; the
    // accept loop then ends at once, whenever it begins.
    std::mutex mutex;  // guards the three below
    int listener = -1;
    bool bound = false;
    bool stopped = false;

    // Decides from the request line and the headers alone whether the body
    // is read: only for a POST to the service's path whose announced size is
    // within bounds and which the service admits. Anything else is answered
    // here, before a byte of its body is read.
    bool admit(const httplib::Request& req, httplib::Response& res) {
        ConnectionContext& context = server.contexts.of(req);
        if (context.admitted) return true;  // asked again after "100 Continue"
        if (req.method != "POST" || req.path != service.path) {
            res.status = 404;  // the error handler writes the page
        } else if (const auto length = announcedLength(req); length && *length > server.limits.maxRequestBytes) {
            res.status = 413;
        } else if (service.admit(req, res, context)) {
            context.admitted = true;
            return true;
        }
        if (carriesBody(req)) {
            res.set_header("Connection", "close");
            context.closeAfterAnswer = true;
        }
        return false;
    }

    // Reads the body into one string made to its announced size, and at most
    // maxRequestBytes of it once decoded: a compressed body does not unpack
    // past the bound either. False when the body did not come whole or broke
    // the bound; the status says which, and the connection ends.
    bool readBody(const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& reader,
                  std::string& body, ConnectionContext& context) {
        const std::size_t most = server.limits.maxRequestBytes;
        if (const auto length = announcedLength(req)) body.reserve(static_cast<std::size_t>(std::min<unsigned long long>(*length, most)));
        bool tooLarge = false;
        const auto keep = [&body, &tooLarge, most](const char* data, std::size_t size) {
            if (size > most - body.size()) return !(tooLarge = true);
            body.append(data, size);
            return true;
        };
        // A form is no envelope: its parts are read and dropped, and the empty
        // body says what it is not.
        const bool read = req.is_multipart_form_data()
                              ? reader([](const httplib::MultipartFormData&) { return true; },
                                       [](const char*, std::size_t) { return true; })
                              : reader(keep);
        if (read) return true;
        if (tooLarge) res.status = 413;
        else if (res.status < 400) res.status = 400;
        res.set_header("Connection", "close");
        context.closeAfterAnswer = true;
        return false;
    }

    void serve(const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& reader) {
        ConnectionContext& context = server.contexts.of(req);
        std::string body;
        if (!readBody(req, res, reader, body, context)) return;  // the error handler writes the page
        service.answer(req, res, std::move(body), context);
        // A call may take long: whoever came meanwhile gets the worker next.
        if (server.othersWait()) {
            res.set_header("Connection", "close");
            context.last = true;
        }
    }

    void closeListener() {
        if (listener >= 0) platform::closeSocket(listener);
        listener = -1;
    }
};

GuardedHttpServer::GuardedHttpServer(GuardedService service, GuardedLimits limits) : impl_(std::make_unique<Impl>()) {
    impl_->service = std::move(service);
    GuardedServer& server = impl_->server;
    server.limits = limits;
    const std::string page = impl_->service.errorPage(503, "Service Unavailable", "The server is busy; try again later.");
    server.turnAwayAnswer = "HTTP/1.1 503 Service Unavailable\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
                            std::to_string(page.size()) + "\r\nRetry-After: 1\r\nConnection: close\r\n\r\n" + page;
    const std::size_t threads = static_cast<std::size_t>(std::max(1, limits.threads));
    const std::size_t queueLength = limits.queueLength;
    server.new_task_queue = [&server, threads, queueLength] {
        auto* queue = new WorkerQueue(threads, queueLength, [&server](int fd, Clock::time_point accepted) {
            server.serveConnection(fd, accepted);
        });
        server.queue = queue;
        return queue;
    };
    server.set_payload_max_length(limits.maxRequestBytes);
    server.set_keep_alive_max_count(1000);
    server.set_tcp_nodelay(true);

    Impl* impl = impl_.get();
    server.set_pre_routing_handler([impl](const httplib::Request& req, httplib::Response& res) {
        return impl->admit(req, res) ? httplib::Server::HandlerResponse::Unhandled
                                     : httplib::Server::HandlerResponse::Handled;
    });
    // A client that waits for "100 Continue" before it sends the body hears
    // the refusal instead.
    server.set_expect_100_continue_handler(
        [impl](const httplib::Request& req, httplib::Response& res) { return impl->admit(req, res) ? 100 : res.status; });
    server.Post(impl_->service.path, [impl](const httplib::Request& req, httplib::Response& res,
                                            const httplib::ContentReader& reader) { impl->serve(req, res, reader); });
    // Other paths and methods: an HTML page, as an ICF node that does not exist gives.
    server.set_error_handler([impl](const httplib::Request&, httplib::Response& res) {
        if (res.body.empty()) {
            const char* title = res.status == 404   ? "Not Found"
                                : res.status == 413 ? "Payload Too Large"
                                : res.status == 400 ? "Bad Request"
                                                    : "Error";
            res.set_content(impl->service.errorPage(res.status, title, "The service could not be reached."),
                            "text/html; charset=utf-8");
        }
    });
    server.set_exception_handler([impl](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
        res.status = 500;
        res.set_content(impl->service.errorPage(500, "Internal Server Error", "The request failed."),
                        "text/html; charset=utf-8");
    });
}

GuardedHttpServer::~GuardedHttpServer() {
    stop();
    if (impl_->thread.joinable()) impl_->thread.join();
}

Result<int> GuardedHttpServer::bind(const std::string& host, int port) {
    std::lock_guard lock(impl_->mutex);
    if (impl_->stopped || impl_->bound) return failure(FailureKind::Other, "the server is bound or stopped already");
    Impl* impl = impl_.get();
    // Called for each socket tried; the last one is the one bound.
    impl_->server.set_socket_options([impl](socket_t socket) {
        httplib::default_socket_options(socket);
        impl->closeListener();
        impl->listener = platform::duplicateSocket(socket);
    });
    int bound = -1;
    if (port == 0) {
        bound = impl_->server.bind_to_any_port(host);
    } else if (impl_->server.bind_to_port(host, port)) {
        bound = port;
    }
    impl_->bound = bound > 0 && impl_->listener >= 0;
    if (!impl_->bound) impl_->closeListener();
    if (impl_->bound) return bound;
    return failure(FailureKind::Unreachable, "cannot listen on " + host + ":" + std::to_string(port));
}

Status GuardedHttpServer::run() {
    {
        std::lock_guard lock(impl_->mutex);
        if (!impl_->bound) return failure(FailureKind::Other, "the server is not bound");
    }
    // After a stop, however early, this returns at once.
    const bool ok = impl_->server.listen_after_bind();
    std::lock_guard lock(impl_->mutex);
    if (ok || impl_->stopped) return {};
    return failure(FailureKind::Unreachable, "listening failed");
}

void GuardedHttpServer::start() {
    {
        std::lock_guard lock(impl_->mutex);
        if (!impl_->bound || impl_->thread.joinable()) return;
    }
    // The socket listens already: connections made from now on wait in its
    // queue until the thread accepts them.
    impl_->thread = std::thread([this] { (void)run(); });
}

void GuardedHttpServer::stop() {
    std::lock_guard lock(impl_->mutex);
    if (impl_->stopped) return;
    impl_->stopped = true;
    impl_->server.live.stopReading();
    if (impl_->server.is_running()) {
        // The accept loop runs: the server's own stop also ends idle keep-alive connections.
        impl_->server.stop();
    } else if (impl_->listener >= 0) {
        // Not yet (or no longer) accepting: a socket shut down takes no
        // connections, and an accept loop that begins later ends at once.
        platform::shutDown(impl_->listener, platform::Shut::Both);
    }
    impl_->closeListener();
}

}  // namespace orvex::sap
