#pragma once
// A loopback relay in front of an HTTP server that hands the server each
// request's Cookie header as the client sent it. cpp-httplib's server
// URL-decodes header values ("%3a" becomes ":"), so a server behind it
// cannot compare a cookie byte for byte as SAP does; the relay copies the raw
// value into the header "X-Raw-Cookie" of the same request, each "%" escaped
// as "%25", so that the server's decoding gives back the bytes the client sent.
// Requests carry their bodies with Content-Length (as every client of ORVEX
// sends them); answers pass through untouched.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <list>
#include <mutex>
#include <string>
#include <thread>

#include "common/Text.h"
#include "tests/support/Loopback.h"

namespace orvex::testing {

class RawHeaderRelay {
public:
    // Relays to 127.0.0.1:`backend` from a free loopback port of its own.
    explicit RawHeaderRelay(int backend) : backend_(backend) {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        port_ = bindLoopback(listener_);
        ::listen(listener_, 64);
        acceptor_ = std::thread([this] { accept(); });
    }
    ~RawHeaderRelay() {
        stop_ = true;
        acceptor_.join();
        ::close(listener_);
        std::lock_guard lock(mutex_);
        for (std::thread& relay : relays_) relay.join();
    }
    RawHeaderRelay(const RawHeaderRelay&) = delete;
    RawHeaderRelay& operator=(const RawHeaderRelay&) = delete;

    int port() const { return port_; }

private:
    static std::string escaped(const std::string& bytes) {
        std::string out;
        for (char c : bytes) out += c == '%' ? std::string("%25") : std::string(1, c);
        return out;
    }

    void accept() {
        pollfd wait{listener_, POLLIN, 0};
        while (!stop_) {
            if (::poll(&wait, 1, 20) <= 0) continue;
            const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) continue;
            std::lock_guard lock(mutex_);
            relays_.emplace_back([this, client] { relay(client); });
        }
    }

    // One connection: requests go on with the raw cookie added, answers come back as they are.
    void relay(int client) {
        const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        // Each piece goes on at once, as it would without the relay.
        const int on = 1;
        ::setsockopt(server, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        sockaddr_in addr = loopbackAddress(backend_);
        const bool connected = ::connect(server, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
        std::string pending;        // of the client's bytes, not yet sent on
        std::size_t bodyLeft = 0;   // of the request whose head went on
        char buffer[65536];
        for (bool open = connected; open && !stop_;) {
            pollfd fds[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
            if (::poll(fds, 2, 20) <= 0) continue;
            if (fds[1].revents) {
                const ssize_t n = ::recv(server, buffer, sizeof buffer, 0);
                open = n > 0 && ::send(client, buffer, static_cast<std::size_t>(n), MSG_NOSIGNAL) == n;
            }
            if (open && fds[0].revents) {
                const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
                if (n <= 0) break;
                pending.append(buffer, static_cast<std::size_t>(n));
                open = forward(server, pending, bodyLeft);
            }
        }
        ::close(server);
        ::close(client);
    }

    // Sends on what is complete of `pending`: bodies as they are, heads with the raw cookie.
    static bool forward(int server, std::string& pending, std::size_t& bodyLeft) {
        for (;;) {
            if (bodyLeft > 0) {
                const std::size_t part = std::min(bodyLeft, pending.size());
                if (!sendAll(server, pending.substr(0, part))) return false;
                pending.erase(0, part);
                bodyLeft -= part;
                if (bodyLeft > 0) return true;
            }
            const std::size_t end = pending.find("\r\n\r\n");
            if (end == std::string::npos) return true;
            std::string head = pending.substr(0, end + 2);
            pending.erase(0, end + 4);
            std::string cookie;
            for (std::size_t at = head.find("\r\n") + 2; at < head.size();) {
                const std::size_t next = head.find("\r\n", at);
                const std::string line = head.substr(at, next - at);
                const std::size_t colon = line.find(':');
                const std::string name = text::lower(line.substr(0, colon));
                std::string value = colon == std::string::npos ? std::string() : line.substr(colon + 1);
                value.erase(0, value.find_first_not_of(' '));
                if (name == "cookie") cookie = value;
                if (name == "content-length") bodyLeft = std::strtoul(value.c_str(), nullptr, 10);
                at = next + 2;
            }
            if (!sendAll(server, head + "X-Raw-Cookie: " + escaped(cookie) + "\r\n\r\n")) return false;
        }
    }

    static bool sendAll(int fd, const std::string& data) {
        for (std::size_t sent = 0; sent < data.size();) {
            const ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) return false;
            sent += static_cast<std::size_t>(n);
        }
        return true;
    }

    int backend_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::list<std::thread> relays_;
    std::thread acceptor_;
};

}  // namespace orvex::testing
