#pragma once
// A loopback server answering connection n with raw answer n (the last
// repeats), then closing it: for servers that misbehave. Requests are kept.
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "SoapEnvelope.h"
#include "tests/support/Loopback.h"

namespace orvex::test {

class CannedServer {
public:
    // An empty answer never comes. From connection `trickleFrom` on, answers go a byte every 50 ms.
    explicit CannedServer(std::vector<std::string> answers, int trickleFrom = -1)
        : answers_(std::move(answers)), trickleFrom_(trickleFrom) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        port_ = testing::bindLoopback(fd_);
        ::listen(fd_, 8);
        thread_ = std::thread([this] { loop(); });
    }
    ~CannedServer() {
        stop_ = true;
        thread_.join();
        ::close(fd_);
    }
    std::string url() const { return testing::loopbackUrl(port_); }
    std::vector<std::string> requests() {
        std::lock_guard lock(mutex_);
        return requests_;
    }
    void waitForRequests(std::size_t count) {
        std::unique_lock lock(mutex_);
        arrived_.wait(lock, [&] { return requests_.size() >= count; });
    }

    static std::string http(int status, const std::string& contentType, const std::string& body,
                            const std::string& headers = "") {
        const std::map<int, const char*> phrases = {{200, "OK"},        {302, "Found"},     {401, "Unauthorized"},
                                                    {403, "Forbidden"}, {404, "Not Found"}, {502, "Bad Gateway"}};
        const char* phrase = phrases.count(status) ? phrases.at(status) : "Internal Server Error";
        return "HTTP/1.1 " + std::to_string(status) + " " + phrase + "\r\nContent-Type: " + contentType +
               "\r\nConnection: close\r\n" + headers + "Content-Length: " + std::to_string(body.size()) +
               "\r\n\r\n" + body;
    }
    static std::string okReply(const std::string& function) {
        sap::RfcRequest request;
        request.function = function;
        return http(200, "text/xml", sap::soap::buildResponse(request, sap::RfcReply{}));
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
                pollfd hangUp{conn, POLLIN, 0};
                if (trickle && ::poll(&hangUp, 1, 50) > 0) break;
            }
            if (answer.empty())  // held until the client closes it or the server stops
                for (char byte; waitReadable(conn) && ::recv(conn, &byte, 1, 0) > 0;) {}
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
        arrived_.notify_all();
    }

    std::vector<std::string> answers_;
    int trickleFrom_;
    int fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

}  // namespace orvex::test
