#pragma once
// A loopback TCP server that answers each connection's request with raw,
// prepared bytes and then closes it: to play servers that misbehave in ways a
// real HTTP library will not (cut-off bodies, never answering). The n-th
// connection gets answer n; the last answer repeats. The requests are kept.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "SoapEnvelope.h"

namespace orvex::test {

class CannedServer {
public:
    // An answer that is empty never comes: the connection is held open,
    // unanswered. From connection `trickleFrom` on, answers go one byte every 50 ms.
    explicit CannedServer(std::vector<std::string> answers, int trickleFrom = -1)
        : answers_(std::move(answers)), trickleFrom_(trickleFrom) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        ::listen(fd_, 8);
        socklen_t len = sizeof addr;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
        port_ = ntohs(addr.sin_port);
        thread_ = std::thread([this] { loop(); });
    }
    ~CannedServer() {
        stop_ = true;
        thread_.join();
        ::close(fd_);
    }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_); }
    std::vector<std::string> requests() {
        std::lock_guard lock(mutex_);
        return requests_;
    }

    static std::string http(int status, const std::string& contentType, const std::string& body) {
        return "HTTP/1.1 " + std::to_string(status) + " X\r\nContent-Type: " + contentType +
               "\r\nConnection: close\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    }
    // A successful, empty reply to `function`.
    static std::string okReply(const std::string& function) {
        sap::RfcRequest request;
        request.function = function;
        sap::RfcReply ok;
        ok.ok = true;
        return http(200, "text/xml", sap::soap::buildResponse(request, ok));
    }

private:
    bool waitReadable(int fd) {
        pollfd p{fd, POLLIN, 0};
        while (!stop_)
            if (::poll(&p, 1, 20) > 0) return true;
        return false;
    }

    void loop() {
        for (std::size_t served = 0; waitReadable(fd_); ++served) {
            int conn = ::accept(fd_, nullptr, nullptr);
            if (conn < 0) continue;
            readRequest(conn);
            const std::string& answer = answers_[std::min(served, answers_.size() - 1)];
            const bool trickle = trickleFrom_ >= 0 && served >= std::size_t(trickleFrom_);
            for (std::size_t i = 0; i < answer.size() && !stop_; i += trickle ? 1 : answer.size()) {
                ::send(conn, answer.data() + i, trickle ? 1 : answer.size(), MSG_NOSIGNAL);
                if (trickle) std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
            if (answer.empty()) waitReadable(-1);  // polls nothing: holds the connection until the server stops
            ::close(conn);
        }
    }

    // Reads headers and a Content-Length body, so the client is never refused mid-send.
    void readRequest(int conn) {
        std::string in;
        char buf[4096];
        for (std::size_t need = std::string::npos; in.size() < need && waitReadable(conn);) {
            ssize_t n = ::recv(conn, buf, sizeof buf, 0);
            if (n <= 0) break;
            in.append(buf, static_cast<std::size_t>(n));
            std::size_t end = in.find("\r\n\r\n"), cl = in.find("Content-Length: ");
            if (end != std::string::npos) need = end + 4 + (cl < end ? std::stoul(in.substr(cl + 16)) : 0);
        }
        std::lock_guard lock(mutex_);
        requests_.push_back(in);
    }

    std::vector<std::string> answers_;
    int trickleFrom_;
    int fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

}  // namespace orvex::test
