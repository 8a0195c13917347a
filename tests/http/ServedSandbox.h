#pragma once
// Runs `orvex-sandbox serve` as a child process on a free loopback port, with
// its log in a file, and runs other programs with a time limit. For tests
// that go through the real HTTP server process.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
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

// Starts `argv` with stdout and stderr going to `logPath`.
inline pid_t spawn(const std::vector<std::string>& argv, const std::string& logPath) {
    pid_t pid = ::fork();
    if (pid == 0) {
        int fd = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(fd, 1);
        ::dup2(fd, 2);
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
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class ServedSandbox {
public:
    ServedSandbox(const std::string& program, const std::string& database, const std::string& logPath)
        : logPath_(logPath), pid_(spawn({program, "serve", "--listen", "127.0.0.1:0", "--db", database}, logPath)) {
        const std::string marker = "serving http://127.0.0.1:";
        for (int i = 0; i < 1500 && port_ == 0; ++i) {
            std::string log = readFile(logPath);
            if (auto at = log.find(marker); at != std::string::npos && log.find('/', at + marker.size()) != std::string::npos)
                port_ = std::stoi(log.substr(at + marker.size()));
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    ~ServedSandbox() { stop(); }
    // Stops the server as SIGTERM does; returns its exit code (-1 when it had to be killed).
    int stop() {
        if (pid_ > 0) ::kill(pid_, SIGTERM), exitCode_ = waitFor(pid_, std::chrono::seconds(15)), pid_ = -1;
        return exitCode_;
    }
    int port() const { return port_; }  // 0 when the server did not come up
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_); }
    std::string log() const { return readFile(logPath_); }
    pid_t pid() const { return pid_; }

private:
    std::string logPath_;
    pid_t pid_;
    int port_ = 0;
    int exitCode_ = -1;
};

}  // namespace orvex::test
