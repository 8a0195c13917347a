#pragma once
// The requests to stop a running process that differ between operating
// systems: Ctrl+C in its terminal and a service manager's stop (SIGINT and
// SIGTERM here).
#include <functional>

namespace orvex::platform {

// Keeps stop requests from interrupting the calling thread and every thread
// it starts from here on, so that one thread can take them.
void blockStopRequests();

// Runs `work` on the calling thread; a stop request that arrives before it
// returns calls `stop` on another thread (which must make `work` return).
// Gives what `work` returned. Call blockStopRequests first.
bool runUntilStopRequested(const std::function<bool()>& work, const std::function<void()>& stop);

}  // namespace orvex::platform
