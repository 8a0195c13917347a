#pragma once
// How the session layer runs a remote call while the user waits for it:
// the front end keeps its windows alive and offers Cancel. The screens pass
// in a busy indicator over a worker thread.
#include <functional>

namespace orvex::session {

class CallRunner {
public:
    virtual ~CallRunner() = default;
    // Runs `work` to its end; Cancel, while it runs, calls `cancel`, which
    // should make `work` end soon. True when the user cancelled. What `work`
    // throws is thrown again here.
    virtual bool run(const std::function<void()>& work, const std::function<void()>& cancel) = 0;
    // A call is running: the waiting is modal, so whatever reaches the
    // session meanwhile comes from the call itself.
    virtual bool running() const = 0;
};

// Runs each call on the caller's thread, to its end; nothing offers Cancel.
// What the session uses where no front end waits with a busy indicator.
class DirectCalls final : public CallRunner {
public:
    bool run(const std::function<void()>& work, const std::function<void()>&) override {
        running_ = true;
        struct Done {
            bool& running;
            ~Done() { running = false; }
        } done{running_};
        work();
        return false;
    }
    bool running() const override { return running_; }

private:
    bool running_ = false;
};

}  // namespace orvex::session
