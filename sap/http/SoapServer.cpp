#include "sap/http/SoapServer.h"

#include <httplib.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>
#include <functional>
#include <mutex>
#include <set>
#include <thread>

#include "common/platform/Network.h"
#include "sap/http/SoapService.h"

namespace orvex::sap {

namespace {

constexpr const char* kServicePath = "/sap/bc/soap/rfc";
// What a request's line and headers may take besides its body.
constexpr std::size_t kHeaderAllowance = 64 * 1024;

using Clock = std::chrono::steady_clock;

// Keeps user-supplied text on one log line and of bounded length.
std::string printable(const std::string& text) {
    std::string out;
    for (char c : text.substr(0, 64)) out += (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) ? '?' : c;
    return out.empty() ? "-" : out;
}

using platform::Moved;
using platform::Waiting;
using platform::waitFor;

// When the connection a worker serves was accepted (queued for a worker).
thread_local Clock::time_point tlAccepted{};

// One accepted connection as the HTTP library reads and writes it, held to
// deadlines: a request's line and headers must arrive within the head
// deadline from its start and bring at most `kHeaderAllowance`, the whole
// request within the deadline and at most `maxBytes`; an answer must be taken
// within the deadline from its first byte. While others wait for a worker, a
// request whose head has not come whole within `kHeadGiveWay` gives way: a
// client that sends nothing useful does not keep anyone waiting. For the
// first request that time runs from the connection's accept, so that one
// that trickled while it waited in the queue gives way as soon as it is
// taken. A client that breaks a limit gets no further request.
class ConnectionStream final : public httplib::Stream {
public:
    ConnectionStream(int fd, std::chrono::milliseconds deadline, std::chrono::milliseconds headDeadline,
                     std::size_t maxBytes, std::function<bool()> othersWait)
        : fd_(fd),
          deadline_(deadline),
          headDeadline_(std::min(headDeadline, deadline)),
          maxBytes_(maxBytes),
          othersWait_(std::move(othersWait)) {}

    // The first request: its deadlines run from the moment a worker takes
    // the connection, so that one that sends nothing is dropped too.
    bool awaitFirstRequest(Clock::time_point accepted) {
        startRequest();
        giveWayFrom_ = std::min(giveWayFrom_, accepted + kHeadGiveWay);
        return awaitBytes();
    }
    // A further request on a kept-alive connection: at most `idle` for its
    // first byte, and the deadlines from there. An idle connection gives way
    // (within a tenth of a second) as soon as others wait, unless its next
    // request is there already.
    bool awaitNextRequest(std::chrono::milliseconds idle) {
        const Clock::time_point until = Clock::now() + idle;
        while (begin_ == end_) {
            const Clock::time_point now = Clock::now();
            const bool giveWay = othersWait_() || now >= until;
            if (waitFor(fd_, Waiting::Readable, giveWay ? now + kGlance : std::min(until, now + kSlice))) break;
            if (giveWay) return false;
        }
        startRequest();
        return true;
    }
    // The request line and headers are in: the body has the rest of the deadline.
    void headArrived() { inHead_ = false; }
    bool brokeALimit() const { return brokeALimit_; }
    // The client broke a limit before its head was in: nothing it sent is
    // worth a gentle close.
    bool lostInHead() const { return brokeALimit_ && inHead_; }

    bool is_readable() const override {
        return begin_ != end_ || waitFor(fd_, Waiting::Readable, inHead_ ? headUntil_ : readDeadline_);
    }
    bool is_writable() const override {
        return waitFor(fd_, Waiting::Writable, writing_ ? writeDeadline_ : Clock::now() + deadline_);
    }

    ssize_t read(char* ptr, size_t size) override {
        writing_ = false;
        while (begin_ == end_) {
            if (readBytes_ >= (inHead_ ? std::min(kHeaderAllowance, maxBytes_) : maxBytes_) || !awaitBytes()) {
                brokeALimit_ = true;
                return -1;
            }
            const Moved got = platform::receiveNow(fd_, buffer_, std::min(sizeof buffer_, maxBytes_ - readBytes_));
            if (got.state == Moved::Again) continue;
            if (got.state == Moved::Failed) return -1;
            if (got.bytes == 0) return 0;
            readBytes_ += got.bytes;
            begin_ = 0;
            end_ = got.bytes;
        }
        const std::size_t taken = std::min(size, end_ - begin_);
        std::memcpy(ptr, buffer_ + begin_, taken);
        begin_ += taken;
        return static_cast<ssize_t>(taken);
    }

    ssize_t write(const char* ptr, size_t size) override {
        if (!writing_) writing_ = true, writeDeadline_ = Clock::now() + deadline_;
        if (!waitFor(fd_, Waiting::Writable, writeDeadline_)) {
            brokeALimit_ = true;
            return -1;
        }
        const Moved sent = platform::sendNow(fd_, ptr, size);
        if (sent.state == Moved::Again) return 0;  // the caller comes again
        if (sent.state == Moved::Failed) return -1;
        return static_cast<ssize_t>(sent.bytes);
    }

    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        platform::peerAddress(fd_, ip, port);
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override {
        platform::localAddress(fd_, ip, port);
    }
    socket_t socket() const override { return fd_; }

private:
    static constexpr std::chrono::milliseconds kSlice{100};
    static constexpr std::chrono::milliseconds kGlance{1};  // a look whether bytes are there
    static constexpr std::chrono::milliseconds kHeadGiveWay{250};

    void startRequest() {
        const Clock::time_point now = Clock::now();
        readDeadline_ = now + deadline_;
        headUntil_ = now + headDeadline_;
        giveWayFrom_ = now + kHeadGiveWay;
        inHead_ = true;
        readBytes_ = end_ - begin_;  // what came early with the last request counts for this one
        writing_ = false;
    }

    // Waits for the socket to bring more: until the head deadline while the
    // head is incomplete (giving way when others wait), then until the
    // request's deadline. False when the time is up.
    bool awaitBytes() {
        if (!inHead_) return waitFor(fd_, Waiting::Readable, readDeadline_);
        for (;;) {
            const Clock::time_point now = Clock::now();
            if (now >= headUntil_) return false;
            // Bytes that are there already are taken first: a client queued
            // for long, whose request waits whole in the socket, is served.
            const bool giveWay = now >= giveWayFrom_ && othersWait_();
            if (waitFor(fd_, Waiting::Readable, giveWay ? now + kGlance : std::min(headUntil_, now + kSlice))) return true;
            if (giveWay) return false;
        }
    }

    int fd_;
    std::chrono::milliseconds deadline_, headDeadline_;
    std::size_t maxBytes_;
    std::function<bool()> othersWait_;
    Clock::time_point readDeadline_{}, headUntil_{}, giveWayFrom_{}, writeDeadline_{};
    std::size_t readBytes_ = 0;
    bool inHead_ = true;
    bool writing_ = false;
    bool brokeALimit_ = false;
    char buffer_[16384];
    std::size_t begin_ = 0, end_ = 0;
};

// What the worker serving a connection knows of the request in hand; the
// server's handlers reach it through the worker's thread.
struct RequestState {
    bool admitted = false;          // the logon was taken before the body was read
    std::string user;               // whose logon it was
    bool closeAfterAnswer = false;  // a body left unread: the connection carries no further request
    bool last = false;              // others wait for a worker: the connection ends with this answer
    ConnectionStream* stream = nullptr;
};
thread_local RequestState* tlRequest = nullptr;

// Set while the queue turns a connection away on the accepting thread.
thread_local bool tlTurnAway = false;

// Workers for the accepted connections, and a queue of bounded length for
// those waiting: beyond it a connection is turned away at once, so that a
// flood of connections costs neither memory nor an ever longer wait.
class WorkerQueue final : public httplib::TaskQueue {
public:
    WorkerQueue(std::size_t threads, std::size_t maxWaiting) : maxWaiting_(maxWaiting) {
        for (std::size_t i = 0; i < threads; ++i) workers_.emplace_back([this] { work(); });
    }
    ~WorkerQueue() override { shutdown(); }

    void enqueue(std::function<void()> job) override {
        {
            std::lock_guard lock(mutex_);
            if (waiting_.size() < maxWaiting_) {
                waiting_.push_back([job = std::move(job), accepted = Clock::now()] {
                    tlAccepted = accepted;
                    job();
                });
                changed_.notify_one();
                return;
            }
        }
        tlTurnAway = true;
        tlAccepted = Clock::now();
        job();
        tlTurnAway = false;
    }

    void shutdown() override {
        {
            std::lock_guard lock(mutex_);
            if (stopping_) return;
            stopping_ = true;
        }
        changed_.notify_all();
        for (std::thread& worker : workers_) worker.join();
    }

    std::size_t waiting() const {
        std::lock_guard lock(mutex_);
        return waiting_.size();
    }

private:
    void work() {
        for (;;) {
            std::function<void()> job;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
                if (waiting_.empty()) return;  // stopping, and no connection left to close
                job = std::move(waiting_.front());
                waiting_.pop_front();
            }
            job();
        }
    }

    const std::size_t maxWaiting_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::function<void()>> waiting_;
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};

// Reads and drops what a client still sends after the answer that ends its
// connection, for a moment, so that the close does not reset the connection
// before the client has read the answer.
void closeGently(int fd) {
    platform::shutDown(fd, platform::Shut::Writing);
    const Clock::time_point until = Clock::now() + std::chrono::milliseconds(500);
    char scratch[16384];
    for (std::size_t dropped = 0; dropped < (std::size_t(1) << 20) && waitFor(fd, Waiting::Readable, until);) {
        const Moved got = platform::receiveNow(fd, scratch, sizeof scratch);
        if (got.state == Moved::Failed || (got.state == Moved::Done && got.bytes == 0)) break;
        dropped += got.bytes;
    }
    platform::closeSocket(fd);
}

// The answer to a connection the queue has no room for: written without
// waiting, on the accepting thread.
void turnAway(int fd) {
    static const std::string answer = [] {
        const std::string page = htmlErrorPage(503, "Service Unavailable", "The server is busy; try again later.");
        return "HTTP/1.1 503 Service Unavailable\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
               std::to_string(page.size()) + "\r\nRetry-After: 1\r\nConnection: close\r\n\r\n" + page;
    }();
    (void)platform::sendNow(fd, answer.data(), answer.size());
    platform::shutDown(fd, platform::Shut::Both);
    platform::closeSocket(fd);
}

// The connections being served, so that a stop ends their waiting for
// requests at once; answers under way are still written.
class LiveConnections {
public:
    bool add(int fd) {
        std::lock_guard lock(mutex_);
        if (stopping_) return false;
        fds_.insert(fd);
        return true;
    }
    void remove(int fd) {
        std::lock_guard lock(mutex_);
        fds_.erase(fd);
    }
    void stopReading() {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        for (int fd : fds_) platform::shutDown(fd, platform::Shut::Reading);
    }

private:
    std::mutex mutex_;
    std::set<int> fds_;
    bool stopping_ = false;
};

// The HTTP server whose connections are served through ConnectionStream:
// the library parses and routes each request, the stream holds the client
// to its limits, and the worker queue is bounded.
class GuardedServer final : public httplib::Server {
public:
    std::chrono::milliseconds deadline{30'000};
    std::chrono::milliseconds headDeadline{5'000};
    std::chrono::milliseconds keepAlive{5'000};
    std::size_t maxBytes = 0;
    WorkerQueue* queue = nullptr;  // made by new_task_queue when serving begins
    LiveConnections live;

private:
    bool process_and_close_socket(socket_t sock) override {
        if (tlTurnAway) {
            turnAway(sock);
            return false;
        }
        if (!live.add(sock)) {
            platform::closeSocket(sock);
            return false;
        }
        const auto othersWait = [this] { return queue && queue->waiting() > 0; };
        ConnectionStream stream(sock, deadline, headDeadline, maxBytes, othersWait);
        bool gently = false;
        const std::size_t most = std::max<std::size_t>(keep_alive_max_count_, 1);
        for (std::size_t served = 0; served < most && svr_sock_ != INVALID_SOCKET; ++served) {
            if (!(served == 0 ? stream.awaitFirstRequest(tlAccepted) : stream.awaitNextRequest(keepAlive))) break;
            // The connection's last request when others wait for a worker.
            const bool last = served + 1 == most || othersWait();
            RequestState request;
            request.stream = &stream;
            tlRequest = &request;
            bool closed = false;
            const bool answered = process_request(stream, last, closed, nullptr);
            tlRequest = nullptr;
            gently = (request.closeAfterAnswer || stream.brokeALimit()) && !stream.lostInHead();
            if (!answered || closed || last || request.last || gently || stream.brokeALimit()) break;
        }
        live.remove(sock);
        if (gently) {
            closeGently(sock);
        } else {
            platform::shutDown(sock, platform::Shut::Both);
            platform::closeSocket(sock);
        }
        return true;
    }
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

    // Decides from the request line and the headers alone whether the body
    // is read: only for a POST to the service whose logon is taken and whose
    // announced size is within bounds. Anything else is answered here, before
    // a byte of its body is read.
    bool admit(const httplib::Request& req, httplib::Response& res) {
        RequestState* request = tlRequest;
        if (request && request->stream) request->stream->headArrived();
        if (request && request->admitted) return true;  // asked again after "100 Continue"
        const auto started = Clock::now();
        if (req.method != "POST" || req.path != kServicePath) {
            res.status = 404;  // the error handler writes the page
        } else if (const auto length = announcedLength(req); length && *length > options.maxRequestBytes) {
            res.status = 413;
        } else {
            SoapLogon logon = checkSoapLogon(logonCheck, req.get_header_value("Authorization"),
                                             req.get_param_value("sap-client"), options.clientExists);
            if (!logon.refusal) {
                if (request) request->admitted = true, request->user = std::move(logon.user);
                return true;
            }
            answer(req, res, std::move(*logon.refusal), started);
        }
        if (carriesBody(req)) {
            res.set_header("Connection", "close");
            if (request) request->closeAfterAnswer = true;
        }
        return false;
    }

    // Reads the body into one string made to its announced size, and at most
    // maxRequestBytes of it once decoded: a compressed body does not unpack
    // past the bound either. False when the body did not come whole or broke
    // the bound; the status says which, and the connection ends.
    bool readBody(const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& reader,
                  std::string& body) {
        const std::size_t most = options.maxRequestBytes;
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
        if (tlRequest) tlRequest->closeAfterAnswer = true;
        return false;
    }

    void serve(const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& reader) {
        std::string body;
        if (!readBody(req, res, reader, body)) return;  // the error handler writes the page
        const auto started = Clock::now();
        RequestState* request = tlRequest;
        SoapAnswer answered = request && request->admitted
                                  ? answerSoapCall(handler, request->user, std::move(body))
                                  : answerSoapRequest(handler, logonCheck, req.get_header_value("Authorization"),
                                                      req.get_param_value("sap-client"), std::move(body),
                                                      options.clientExists);
        answer(req, res, std::move(answered), started);
        // A call may take long: whoever came meanwhile gets the worker next.
        if (request && server.queue && server.queue->waiting() > 0) {
            res.set_header("Connection", "close");
            request->last = true;
        }
    }

    void closeListener() {
        if (listener >= 0) platform::closeSocket(listener);
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

    GuardedServer& server = impl_->server;
    const std::size_t threads = static_cast<std::size_t>(std::max(1, options.threads));
    const std::size_t queueLength = options.queueLength;
    server.new_task_queue = [&server, threads, queueLength] {
        auto* queue = new WorkerQueue(threads, queueLength);
        server.queue = queue;
        return queue;
    };
    server.deadline = options.requestDeadline;
    server.headDeadline = options.headerDeadline;
    server.keepAlive = options.keepAlive;
    server.maxBytes = options.maxRequestBytes + kHeaderAllowance;
    server.set_payload_max_length(options.maxRequestBytes);
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
    server.Post(kServicePath, [impl](const httplib::Request& req, httplib::Response& res,
                                     const httplib::ContentReader& reader) { impl->serve(req, res, reader); });
    // Other paths and methods: an HTML page, as an ICF node that does not exist gives.
    server.set_error_handler([](const httplib::Request&, httplib::Response& res) {
        if (res.body.empty()) {
            const char* title = res.status == 404   ? "Not Found"
                                : res.status == 413 ? "Payload Too Large"
                                : res.status == 400 ? "Bad Request"
                                                    : "Error";
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

Result<int> SoapServer::bind(const std::string& host, int port) {
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

Status SoapServer::run() {
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

void SoapServer::start() {
    {
        std::lock_guard lock(impl_->mutex);
        if (!impl_->bound || impl_->thread.joinable()) return;
    }
    // The socket listens already: connections made from now on wait in its
    // queue until the thread accepts them.
    impl_->thread = std::thread([this] { (void)run(); });
}

void SoapServer::stop() {
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
