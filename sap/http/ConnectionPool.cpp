#include "sap/http/ConnectionPool.h"

#include <utility>

#include "common/platform/Network.h"

namespace orvex::sap {

using platform::Moved;
using platform::Waiting;

WorkerQueue::WorkerQueue(std::size_t threads, std::size_t maxWaiting, Serve serve)
    : maxWaiting_(maxWaiting), serve_(std::move(serve)) {
    for (std::size_t i = 0; i < threads; ++i) workers_.emplace_back([this] { work(); });
}

bool WorkerQueue::take(int fd) {
    std::lock_guard lock(mutex_);
    if (waiting_.size() >= maxWaiting_) return false;
    waiting_.push_back({fd, Clock::now()});
    changed_.notify_one();
    return true;
}

void WorkerQueue::shutdown() {
    {
        std::lock_guard lock(mutex_);
        if (stopping_) return;
        stopping_ = true;
    }
    changed_.notify_all();
    for (std::thread& worker : workers_) worker.join();
}

std::size_t WorkerQueue::waiting() const {
    std::lock_guard lock(mutex_);
    return waiting_.size();
}

void WorkerQueue::work() {
    for (;;) {
        Accepted next{};
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
            if (waiting_.empty()) return;  // stopping, and no connection left to close
            next = waiting_.front();
            waiting_.pop_front();
        }
        serve_(next.fd, next.at);
    }
}

bool LiveConnections::add(int fd) {
    std::lock_guard lock(mutex_);
    if (stopping_) return false;
    fds_.insert(fd);
    return true;
}

void LiveConnections::remove(int fd) {
    std::lock_guard lock(mutex_);
    fds_.erase(fd);
}

void LiveConnections::stopReading() {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    for (int fd : fds_) platform::shutDown(fd, platform::Shut::Reading);
}

void closeGently(int fd) {
    platform::shutDown(fd, platform::Shut::Writing);
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    char scratch[16384];
    for (std::size_t dropped = 0; dropped < (std::size_t(1) << 20) && platform::waitFor(fd, Waiting::Readable, until);) {
        const Moved got = platform::receiveNow(fd, scratch, sizeof scratch);
        if (got.state == Moved::Failed || (got.state == Moved::Done && got.bytes == 0)) break;
        dropped += got.bytes;
    }
    platform::closeSocket(fd);
}

void turnAway(int fd, const std::string& answer) {
    (void)platform::sendNow(fd, answer.data(), answer.size());
    platform::shutDown(fd, platform::Shut::Both);
    platform::closeSocket(fd);
}

}  // namespace orvex::sap
