#pragma once
// Remote calls as the wizard waits for them: the call runs on a worker
// thread while the windows keep painting, and a busy indicator offers Cancel.
#include <functional>
#include <utility>

#include "session/CallRunner.h"

class QWidget;

namespace orvex::screens {

class CallWait;

// Runs `work` on a worker thread while the user interface waits for it:
// user input waits until the call has ended, and after 300 ms a busy
// indicator offers Cancel, which calls `cancel` on the user interface
// thread while `work` runs. The indicator belongs to the window `owner`
// names as the call starts.
class QtCallRunner final : public session::CallRunner {
public:
    explicit QtCallRunner(std::function<QWidget*()> owner) : owner_(std::move(owner)) {}
    bool run(const std::function<void()>& work, const std::function<void()>& cancel) override;
    bool running() const override { return wait_ != nullptr; }
    // A box is up during the call: the indicator hides until it is closed.
    void pause();
    void resume();

private:
    std::function<QWidget*()> owner_;
    CallWait* wait_ = nullptr;  // the call being waited for
};

}  // namespace orvex::screens
