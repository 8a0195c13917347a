#pragma once
// One accepted connection of the guarded HTTP server, as the HTTP library
// reads and writes it, held to the server's deadlines and bounds.
#include <httplib.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>

namespace orvex::sap {

// What a request's line and headers may take besides its body.
constexpr std::size_t kHeaderAllowance = 64 * 1024;

// A request's line and headers must arrive within the head deadline from its
// start and bring at most `kHeaderAllowance`, the whole request within the
// deadline and at most `maxBytes`; an answer must be taken within the
// deadline from its first byte. While others wait for a worker, a request
// whose head has not come whole within `kHeadGiveWay` gives way: a client
// that sends nothing useful does not keep anyone waiting. For the first
// request that time runs from the connection's accept, so that one that
// trickled while it waited in the queue gives way as soon as it is taken. A
// client that breaks a limit gets no further request.
class ConnectionStream final : public httplib::Stream {
public:
    using Clock = std::chrono::steady_clock;

    ConnectionStream(int fd, std::chrono::milliseconds deadline, std::chrono::milliseconds headDeadline,
                     std::size_t maxBytes, std::function<bool()> othersWait);

    // The first request: its deadlines run from the moment a worker takes
    // the connection, so that one that sends nothing is dropped too.
    bool awaitFirstRequest(Clock::time_point accepted);
    // A further request on a kept-alive connection: at most `idle` for its
    // first byte, and the deadlines from there. An idle connection gives way
    // (within a tenth of a second) as soon as others wait, unless its next
    // request is there already.
    bool awaitNextRequest(std::chrono::milliseconds idle);
    // The request line and headers are in: the body has the rest of the deadline.
    void headArrived() { inHead_ = false; }
    bool brokeALimit() const { return brokeALimit_; }
    // The client broke a limit before its head was in: nothing it sent is
    // worth a gentle close.
    bool lostInHead() const { return brokeALimit_ && inHead_; }

    bool is_readable() const override;
    bool is_writable() const override;
    ssize_t read(char* ptr, size_t size) override;
    ssize_t write(const char* ptr, size_t size) override;
    void get_remote_ip_and_port(std::string& ip, int& port) const override;
    void get_local_ip_and_port(std::string& ip, int& port) const override;
    socket_t socket() const override { return fd_; }

private:
    static constexpr std::chrono::milliseconds kSlice{100};
    static constexpr std::chrono::milliseconds kGlance{1};  // a look whether bytes are there
    static constexpr std::chrono::milliseconds kHeadGiveWay{250};

    void startRequest();
    // Waits for the socket to bring more: until the head deadline while the
    // head is incomplete (giving way when others wait), then until the
    // request's deadline. False when the time is up.
    bool awaitBytes();

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

}  // namespace orvex::sap
