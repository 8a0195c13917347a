#pragma once
// Debian's tinyproxy on a free loopback port, for the length of a test: the
// HTTP proxy a corporate user sits behind. Started in the foreground with a
// configuration of its own, logging to a file beside it, ready once its log
// says it accepts connections, and stopped (SIGTERM, then reaped) when the
// object goes. `extra` adds lines to its configuration, such as
// "ConnectPort 1" to refuse CONNECT to other ports.
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <string>

#include "tests/support/Loopback.h"

namespace orvex::testing {

class Tinyproxy {
public:
    static constexpr const char* kProgram = "/usr/bin/tinyproxy";

    Tinyproxy(const std::string& folder, const std::string& extra = "")
        : folder_(folder), log_(folder + "/tinyproxy.log") {
        // A port the system just handed out is free; should another program take
        // it before tinyproxy binds it, tinyproxy ends and the next one is tried.
        for (int attempt = 0; attempt < 5 && pid_ <= 0; ++attempt) start(extra, freePort());
    }
    ~Tinyproxy() {
        if (pid_ > 0) stop(pid_);
    }
    Tinyproxy(const Tinyproxy&) = delete;
    Tinyproxy& operator=(const Tinyproxy&) = delete;

    bool running() const { return pid_ > 0; }
    std::string url() const { return loopbackUrl(port_); }
    // What tinyproxy logged so far.
    std::string log() const {
        std::ifstream in(log_);
        return {std::istreambuf_iterator<char>(in), {}};
    }

private:
    static int freePort() {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        const int port = bindLoopback(fd);
        ::close(fd);
        return port;
    }
    static void stop(pid_t pid) {
        ::kill(pid, SIGTERM);
        ::waitpid(pid, nullptr, 0);
    }
    bool ready() const { return log().find("Accepting connections") != std::string::npos; }

    void start(const std::string& extra, int port) {
        const std::string config = folder_ + "/tinyproxy.conf";
        std::ofstream(config) << "Port " << port << "\nListen 127.0.0.1\nTimeout 30\nLogLevel Info\nMaxClients 20\n"
                              << "Allow 127.0.0.1\nLogFile \"" << log_ << "\"\n" << extra << "\n";
        // Each change in the folder wakes the wait; nothing is polled on a timer.
        const int changes = ::inotify_init1(IN_CLOEXEC);
        ::inotify_add_watch(changes, folder_.c_str(), IN_CREATE | IN_MODIFY);
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::execl(kProgram, kProgram, "-d", "-c", config.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        // Ready once it logs so; gone when it ends first (then already reaped).
        bool ended = pid < 0;
        pollfd wait{changes, POLLIN, 0};
        char events[4096];
        while (!ended && !ready() && ::poll(&wait, 1, 20'000) > 0) {
            if (::read(changes, events, sizeof events) < 0) break;
            ended = ::waitpid(pid, nullptr, WNOHANG) == pid;
        }
        ::close(changes);
        if (ended) return;
        if (!ready()) return stop(pid);
        pid_ = pid;
        port_ = port;
    }

    std::string folder_, log_;
    pid_t pid_ = -1;
    int port_ = 0;
};

}  // namespace orvex::testing
