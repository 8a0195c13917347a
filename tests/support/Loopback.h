#pragma once
// Loopback sockets for the test servers and clients: 127.0.0.1 at a port the
// system hands out, read back, so that no test depends on a fixed port.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdint>
#include <string>

namespace orvex::testing {

// 127.0.0.1:`port` as a socket address.
inline sockaddr_in loopbackAddress(int port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    return addr;
}

// Binds `fd` to a free loopback port and returns that port.
inline int bindLoopback(int fd) {
    sockaddr_in addr = loopbackAddress(0);
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    return ntohs(addr.sin_port);
}

inline std::string loopbackUrl(int port) { return "http://127.0.0.1:" + std::to_string(port); }

}  // namespace orvex::testing
