#pragma once
// Runs `orvex-sandbox serve` as a child on a free loopback port, its log in a file.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace orvex::test {

inline std::string readFile(const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

// Starts `argv` with stdout and stderr going to `out`.
inline pid_t spawnTo(const std::vector<std::string>& argv, int out) {
    pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out, 1);
        ::dup2(out, 2);
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    return pid;
}

// Waits for `pid` at most `limit`; kills it when it takes longer. Returns the exit code or -1.
inline int waitFor(pid_t pid, std::chrono::milliseconds limit) {
    // Readable once the process has ended (glibc's wrapper lacks C linkage in some versions).
    const int process = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    pollfd ended{process, POLLIN, 0};
    const bool killed = process < 0 || ::poll(&ended, 1, static_cast<int>(limit.count())) != 1;
    if (killed) ::kill(pid, SIGKILL);
    if (process >= 0) ::close(process);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return !killed && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class ServedSandbox {
public:
    // Returns once the server has said where it serves, or has ended. With
    // `fullOutput`, its output is then filled to the brim and read no more until stop().
    ServedSandbox(const std::string& program, const std::string& database, const std::string& logPath,
                  bool fullOutput = false)
        : logPath_(logPath), held_(fullOutput) {
        int output[2];
        if (::pipe2(output, O_CLOEXEC) != 0) return;
        pid_ = spawnTo({program, "serve", "--listen", "127.0.0.1:0", "--db", database}, output[1]);
        if (!fullOutput) ::close(output[1]);
        reader_ = std::thread([this, in = output[0]] { collect(in); });
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, std::chrono::seconds(60), [this] { return port_ != 0 || ended_; });
        lock.unlock();
        if (!fullOutput) return;
        // Through a description of its own, so that the server's stays blocking.
        const int filler =
            ::open(("/proc/self/fd/" + std::to_string(output[1])).c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        for (const std::string block(4096, '.'); filler >= 0 && ::write(filler, block.data(), block.size()) > 0;) {
        }
        ::close(filler), ::close(output[1]);  // (a filler of -1 is no descriptor)
    }
    ~ServedSandbox() { stop(); }
    // Stops the server as SIGTERM does; returns its exit code (-1 when it had to be killed).
    int stop() {
        {
            std::lock_guard lock(mutex_);
            held_ = false;
        }
        changed_.notify_all();
        if (pid_ > 0) ::kill(pid_, SIGTERM), exitCode_ = waitFor(pid_, std::chrono::seconds(15)), pid_ = -1;
        if (reader_.joinable()) reader_.join();
        return exitCode_;
    }
    int port() const { return port_; }  // 0 when the server did not come up
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_); }
    std::string log() const {
        std::lock_guard lock(mutex_);
        return log_;
    }
    pid_t pid() const { return pid_; }

private:
    // Copies the output into the log file and log_, and takes the port from it.
    void collect(int in) {
        const std::string marker = "serving http://127.0.0.1:";
        std::ofstream file(logPath_, std::ios::binary);
        char buffer[4096];
        for (ssize_t n; (n = ::read(in, buffer, sizeof buffer)) > 0;) {
            file.write(buffer, n).flush();
            std::unique_lock lock(mutex_);
            log_.append(buffer, static_cast<std::size_t>(n));
            if (auto at = log_.find(marker); port_ == 0 && at != std::string::npos &&
                                               log_.find('/', at + marker.size()) != std::string::npos)
                port_ = std::stoi(log_.substr(at + marker.size()));
            changed_.notify_all();
            changed_.wait(lock, [this] { return !held_ || port_ == 0; });
        }
        ::close(in);
        std::lock_guard lock(mutex_);
        ended_ = true;
        changed_.notify_all();
    }

    std::string logPath_;
    pid_t pid_ = -1;
    int exitCode_ = -1;
    std::thread reader_;
    mutable std::mutex mutex_;  // guards the four below
    std::condition_variable changed_;
    std::string log_;
    int port_ = 0;
    bool ended_ = false;
    bool held_;
};

}  // namespace orvex::test
