#pragma once
// The connections of the guarded HTTP server: those waiting for a worker,
// those being served, and how a connection ends.
#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace orvex::sap {

// Workers for the accepted connections, and a queue of bounded length for
// those waiting: beyond it a connection is turned away at once, so that a
// flood of connections costs neither memory nor an ever longer wait. The
// library's accept loop hands each connection over on the accepting thread.
class WorkerQueue final : public httplib::TaskQueue {
public:
    using Clock = std::chrono::steady_clock;
    using Serve = std::function<void(int fd, Clock::time_point accepted)>;

    WorkerQueue(std::size_t threads, std::size_t maxWaiting, Serve serve);
    ~WorkerQueue() override { shutdown(); }

    // The library's job for an accepted connection hands it to take().
    void enqueue(std::function<void()> job) override { job(); }
    // Queues the connection for a worker; false when the queue has no room.
    bool take(int fd);
    void shutdown() override;
    std::size_t waiting() const;

private:
    struct Accepted {
        int fd;
        Clock::time_point at;
    };
    void work();

    const std::size_t maxWaiting_;
    const Serve serve_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Accepted> waiting_;
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};

// The connections being served, so that a stop ends their waiting for
// requests at once; answers under way are still written.
class LiveConnections {
public:
    bool add(int fd);
    void remove(int fd);
    void stopReading();

private:
    std::mutex mutex_;
    std::set<int> fds_;
    bool stopping_ = false;
};

// Reads and drops what a client still sends after the answer that ends its
// connection, for a moment, so that the close does not reset the connection
// before the client has read the answer.
void closeGently(int fd);

// The answer to a connection the queue has no room for: written without
// waiting, on the accepting thread.
void turnAway(int fd, const std::string& answer);

}  // namespace orvex::sap
