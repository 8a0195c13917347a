// The POSIX side of the stop requests: SIGINT and SIGTERM, blocked and taken
// by one waiting thread.
#include "common/platform/StopRequests.h"

#include <pthread.h>

#include <atomic>
#include <csignal>
#include <thread>

namespace orvex::platform {

namespace {

sigset_t stopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    return signals;
}

}  // namespace

void blockStopRequests() {
    const sigset_t signals = stopSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

bool runUntilStopRequested(const std::function<bool()>& work, const std::function<void()>& stop) {
    const sigset_t signals = stopSignals();
    std::atomic<bool> finished{false};
    std::thread stopper([&] {
        int signal = 0;
        sigwait(&signals, &signal);
        if (!finished) stop();
    });
    const bool ok = work();
    finished = true;
    pthread_kill(stopper.native_handle(), SIGTERM);  // wakes the stopper if no request came
    stopper.join();
    return ok;
}

}  // namespace orvex::platform
