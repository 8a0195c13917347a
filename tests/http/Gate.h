#pragma once
// A gate a server thread waits at (`pass`) while the test acts: the test waits
// for it with `awaitHeld` and lets it go with `open`.
#include <condition_variable>
#include <mutex>

namespace orvex::test {

class Gate {
public:
    void pass() {
        std::unique_lock lock(mutex_);
        ++held_;
        changed_.notify_all();
        changed_.wait(lock, [this] { return open_; });
    }
    void awaitHeld() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return held_ > 0; });
    }
    void open() {
        std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int held_ = 0;
    bool open_ = false;
};

}  // namespace orvex::test
