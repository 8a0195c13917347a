#pragma once
// Socket and address calls that differ between operating systems: waiting
// for a socket, moving bytes without blocking, shutting and closing it, the
// addresses at its two ends, and telling IP addresses from host names.
#include <chrono>
#include <cstddef>
#include <string>

namespace orvex::platform {

using SocketHandle = int;

enum class Waiting { Readable, Writable };

// Waits until the socket is ready as asked or has hung up; false when
// `deadline` passes first. A failed wait counts as ready: the read or write
// that follows says what is wrong.
bool waitFor(SocketHandle socket, Waiting what, std::chrono::steady_clock::time_point deadline);

// What one read or write without blocking did: the bytes it moved (for a
// read, none means the peer closed), or that nothing could move just now, or
// that the socket failed.
struct Moved {
    enum State { Done, Again, Failed };
    State state = Done;
    std::size_t bytes = 0;
};
Moved receiveNow(SocketHandle socket, char* buffer, std::size_t size);
// Never raises a signal when the peer has gone.
Moved sendNow(SocketHandle socket, const char* data, std::size_t size);

enum class Shut { Reading, Writing, Both };
void shutDown(SocketHandle socket, Shut what);
void closeSocket(SocketHandle socket);
// A second handle on the same socket, not inherited by child processes; -1
// when there is none.
SocketHandle duplicateSocket(SocketHandle socket);

// The address and port at the far / near end of a connected socket; false
// when the system cannot say.
bool peerAddress(SocketHandle socket, std::string& ip, int& port);
bool localAddress(SocketHandle socket, std::string& ip, int& port);

// Whether the text is an IPv4 address in dotted form / an IPv6 address
// (without brackets).
bool isIpv4Address(const std::string& text);
bool isIpv6Address(const std::string& text);
// 127.0.0.0/8 or ::1.
bool isLoopbackAddress(const std::string& host);

}  // namespace orvex::platform
