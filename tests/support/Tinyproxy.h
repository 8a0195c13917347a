#pragma once
// Debian's tinyproxy on a free loopback port, for the length of a test: the
// HTTP proxy a corporate user sits behind. Started in the foreground with a
// configuration of its own, ready once it says it accepts connections, and
// stopped (SIGTERM, then reaped) when the object goes. `extra` adds lines to
// its configuration, such as "ConnectPort 1" to refuse CONNECT to other ports.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <mutex>
#include <string>
#include <thread>

#include "tests/support/Loopback.h"

namespace orvex::testing {

class Tinyproxy {
public:
    static constexpr const char* kProgram = "/usr/bin/tinyproxy";

    Tinyproxy(const std::string& folder, const std::string& extra = "") {
        // A port the system just handed out is free; should another program take
        // it before tinyproxy binds it, tinyproxy ends and the next one is tried.
        for (int attempt = 0; attempt < 5 && pid_ <= 0; ++attempt) start(folder, extra, freePort());
    }
    ~Tinyproxy() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
        if (reader_.joinable()) reader_.join();
        if (out_ >= 0) ::close(out_);
    }
    Tinyproxy(const Tinyproxy&) = delete;
    Tinyproxy& operator=(const Tinyproxy&) = delete;

    bool running() const { return pid_ > 0; }
    std::string url() const { return loopbackUrl(port_); }
    // What tinyproxy said so far.
    std::string log() const {
        std::lock_guard lock(mutex_);
        return log_;
    }

private:
    static int freePort() {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        const int port = bindLoopback(fd);
        ::close(fd);
        return port;
    }

    void start(const std::string& folder, const std::string& extra, int port) {
        const std::string config = folder + "/tinyproxy.conf";
        std::ofstream(config) << "Port " << port << "\nListen 127.0.0.1\nTimeout 30\nLogLevel Info\nMaxClients 20\n"
                              << "Allow 127.0.0.1\n" << extra << "\n";
        int pipe[2];
        if (::pipe2(pipe, O_CLOEXEC) != 0) return;
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::dup2(pipe[1], 1);
            ::dup2(pipe[1], 2);
            ::execl(kProgram, kProgram, "-d", "-c", config.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(pipe[1]);
        if (pid < 0) {
            ::close(pipe[0]);
            return;
        }
        // Ready once it says so; gone when its output ends first.
        std::string said;
        char buffer[4096];
        pollfd wait{pipe[0], POLLIN, 0};
        while (said.find("Accepting connections") == std::string::npos && ::poll(&wait, 1, 20'000) > 0) {
            const ssize_t n = ::read(pipe[0], buffer, sizeof buffer);
            if (n <= 0) break;
            said.append(buffer, static_cast<std::size_t>(n));
        }
        log_ += said;
        if (said.find("Accepting connections") == std::string::npos) {
            ::kill(pid, SIGTERM);
            ::waitpid(pid, nullptr, 0);
            ::close(pipe[0]);
            return;
        }
        pid_ = pid;
        port_ = port;
        out_ = pipe[0];
        // Its output is kept, so that it never waits on a full pipe.
        reader_ = std::thread([this] {
            char chunk[4096];
            for (ssize_t n; (n = ::read(out_, chunk, sizeof chunk)) > 0;) {
                std::lock_guard lock(mutex_);
                log_.append(chunk, static_cast<std::size_t>(n));
            }
        });
    }

    pid_t pid_ = -1;
    int port_ = 0;
    int out_ = -1;
    mutable std::mutex mutex_;
    std::string log_;
    std::thread reader_;
};

}  // namespace orvex::testing
