#include "sap/http/ConnectionStream.h"

#include <algorithm>
#include <cstring>

#include "common/platform/Network.h"

namespace orvex::sap {

using platform::Moved;
using platform::Waiting;
using platform::waitFor;

ConnectionStream::ConnectionStream(int fd, std::chrono::milliseconds deadline, std::chrono::milliseconds headDeadline,
                                   std::size_t maxBytes, std::function<bool()> othersWait)
    : fd_(fd),
      deadline_(deadline),
      headDeadline_(std::min(headDeadline, deadline)),
      maxBytes_(maxBytes),
      othersWait_(std::move(othersWait)) {}

bool ConnectionStream::awaitFirstRequest(Clock::time_point accepted) {
    startRequest();
    giveWayFrom_ = std::min(giveWayFrom_, accepted + kHeadGiveWay);
    return awaitBytes();
}

bool ConnectionStream::awaitNextRequest(std::chrono::milliseconds idle) {
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

bool ConnectionStream::is_readable() const {
    return begin_ != end_ || waitFor(fd_, Waiting::Readable, inHead_ ? headUntil_ : readDeadline_);
}

bool ConnectionStream::is_writable() const {
    return waitFor(fd_, Waiting::Writable, writing_ ? writeDeadline_ : Clock::now() + deadline_);
}

ssize_t ConnectionStream::read(char* ptr, size_t size) {
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

ssize_t ConnectionStream::write(const char* ptr, size_t size) {
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

void ConnectionStream::get_remote_ip_and_port(std::string& ip, int& port) const {
    platform::peerAddress(fd_, ip, port);
}

void ConnectionStream::get_local_ip_and_port(std::string& ip, int& port) const {
    platform::localAddress(fd_, ip, port);
}

void ConnectionStream::startRequest() {
    const Clock::time_point now = Clock::now();
    readDeadline_ = now + deadline_;
    headUntil_ = now + headDeadline_;
    giveWayFrom_ = now + kHeadGiveWay;
    inHead_ = true;
    readBytes_ = end_ - begin_;  // what came early with the last request counts for this one
    writing_ = false;
}

bool ConnectionStream::awaitBytes() {
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

}  // namespace orvex::sap
