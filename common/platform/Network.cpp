// The POSIX side of the socket and address calls.
#include "common/platform/Network.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace orvex::platform {

namespace {

Moved moved(ssize_t n) {
    if (n >= 0) return {Moved::Done, static_cast<std::size_t>(n)};
    return {errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? Moved::Again : Moved::Failed, 0};
}

std::string addressText(const sockaddr_storage& address, int& port) {
    char text[INET6_ADDRSTRLEN] = "";
    if (address.ss_family == AF_INET) {
        const auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
        ::inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text);
        port = ntohs(v4.sin_port);
    } else if (address.ss_family == AF_INET6) {
        const auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
        ::inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text);
        port = ntohs(v6.sin6_port);
    }
    return text;
}

// The address at one end of a socket, as getpeername or getsockname gives it.
bool endOf(int (*get)(int, sockaddr*, socklen_t*), SocketHandle socket, std::string& ip, int& port) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (get(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) return false;
    ip = addressText(address, port);
    return true;
}

}  // namespace

bool waitFor(SocketHandle socket, Waiting what, std::chrono::steady_clock::time_point deadline) {
    const short events = what == Waiting::Readable ? POLLIN : POLLOUT;
    for (;;) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) return false;
        pollfd ready{socket, events, 0};
        const int n = ::poll(&ready, 1, static_cast<int>(std::min<long long>(left, 60'000)));
        if (n > 0) return true;
        if (n < 0 && errno != EINTR) return true;
    }
}

Moved receiveNow(SocketHandle socket, char* buffer, std::size_t size) {
    return moved(::recv(socket, buffer, size, MSG_DONTWAIT));
}

Moved sendNow(SocketHandle socket, const char* data, std::size_t size) {
    return moved(::send(socket, data, size, MSG_NOSIGNAL | MSG_DONTWAIT));
}

void shutDown(SocketHandle socket, Shut what) {
    ::shutdown(socket, what == Shut::Reading ? SHUT_RD : what == Shut::Writing ? SHUT_WR : SHUT_RDWR);
}

void closeSocket(SocketHandle socket) { ::close(socket); }

SocketHandle duplicateSocket(SocketHandle socket) { return ::fcntl(socket, F_DUPFD_CLOEXEC, 0); }

bool peerAddress(SocketHandle socket, std::string& ip, int& port) { return endOf(::getpeername, socket, ip, port); }

bool localAddress(SocketHandle socket, std::string& ip, int& port) { return endOf(::getsockname, socket, ip, port); }

bool isIpv4Address(const std::string& text) {
    in_addr v4{};
    return inet_pton(AF_INET, text.c_str(), &v4) == 1;
}

bool isIpv6Address(const std::string& text) {
    in6_addr v6{};
    return inet_pton(AF_INET6, text.c_str(), &v6) == 1;
}

bool isLoopbackAddress(const std::string& host) {
    in_addr v4{};
    if (inet_pton(AF_INET, host.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6{};
    if (inet_pton(AF_INET6, host.c_str(), &v6) == 1) return IN6_IS_ADDR_LOOPBACK(&v6);
    return false;
}

}  // namespace orvex::platform
