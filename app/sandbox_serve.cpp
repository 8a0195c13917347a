// orvex-sandbox serve: the sandbox system over SAP's SOAP-over-HTTP RFC
// protocol, so that the HTTP transport can be used and tested end to end.

#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "app/sandbox_serve.h"
#include "common/platform/Network.h"
#include "common/platform/StopRequests.h"
#include "sap/http/HttpClient.h"
#include "sap/http/SoapServer.h"
#include "sap/sandbox/SandboxSystem.h"

namespace orvex::app {

namespace {

// The server's standard output, written by a thread of its own: a worker
// hands its log line over and goes on at once, whether anyone reads the
// output or not. While the output takes nothing, lines queue up to a bound;
// those beyond it are dropped and counted, and the count is written once the
// output moves again. The writer never blocks in a write: it writes at most
// PIPE_BUF bytes, and only once the output has room, so that it can stop.
class OutputLog {
public:
    explicit OutputLog(int fd) : fd_(fd), writer_([this] { drain(); }) {}
    // Writes what is left for at most a second more, then gives up on it.
    ~OutputLog() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        }
        changed_.notify_all();
        writer_.join();
    }
    OutputLog(const OutputLog&) = delete;
    OutputLog& operator=(const OutputLog&) = delete;

    void line(std::string text) {
        text += '\n';
        {
            std::lock_guard lock(mutex_);
            if (queuedBytes_ + text.size() > kMaxQueuedBytes) {
                ++dropped_;
                return;
            }
            queuedBytes_ += text.size();
            lines_.push_back(std::move(text));
        }
        changed_.notify_one();
    }

private:
    static constexpr std::size_t kMaxQueuedBytes = std::size_t(1) << 20;
    static constexpr std::size_t kChunk = PIPE_BUF;

    void drain() {
        // A reader that went away makes a write fail (EPIPE) instead of ending the server.
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
        std::string pending;  // taken from the queue, not yet written
        bool broken = false;
        for (;;) {
            {
                std::unique_lock lock(mutex_);
                if (pending.empty()) {
                    changed_.wait(lock, [this] { return stopping_ || !lines_.empty() || dropped_ > 0; });
                    if (dropped_ > 0) {
                        pending = "orvex-sandbox: " + std::to_string(dropped_) +
                                  " log lines dropped: standard output was not read\n";
                        dropped_ = 0;
                    }
                    while (!lines_.empty() && pending.size() < kChunk) {
                        queuedBytes_ -= lines_.front().size();
                        pending += lines_.front();
                        lines_.pop_front();
                    }
                }
                if (pending.empty() || broken) {
                    if (stopping_) return;
                    pending.clear();
                    continue;
                }
                if (stopping_ && std::chrono::steady_clock::now() >= *stopping_) return;
            }
            pollfd room{fd_, POLLOUT, 0};
            if (::poll(&room, 1, 100) <= 0) continue;  // no room yet: look again, or stop
            if (room.revents & (POLLERR | POLLHUP | POLLNVAL)) {
                broken = true;
                continue;
            }
            const ssize_t written = ::write(fd_, pending.data(), std::min(pending.size(), kChunk));
            if (written > 0) pending.erase(0, static_cast<std::size_t>(written));
            else if (written < 0 && errno != EINTR && errno != EAGAIN) broken = true;
        }
    }

    const int fd_;
    std::mutex mutex_;  // guards the four below
    std::condition_variable changed_;
    std::deque<std::string> lines_;
    std::size_t queuedBytes_ = 0;
    std::size_t dropped_ = 0;
    std::optional<std::chrono::steady_clock::time_point> stopping_;
    std::thread writer_;
};

struct ServeOptions {
    std::string listen = "127.0.0.1:8000";
    std::string database;
    bool allowRemote = false;
};

// "HOST:PORT" or "[V6]:PORT".
bool splitListen(const std::string& text, std::string& host, int& port) {
    std::size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon + 1 == text.size()) return false;
    host = text.substr(0, colon);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    const std::string digits = text.substr(colon + 1);
    if (digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos) return false;
    port = std::stoi(digits);
    return !host.empty() && port <= 65535;
}

// Where to listen: --listen's host and port, a remote host only when allowed.
Result<std::pair<std::string, int>> listenAddress(const ServeOptions& options) {
    std::string host;
    int port = 0;
    if (!splitListen(options.listen, host, port))
        return failure(FailureKind::Refused, "--listen wants HOST:PORT, not \"" + options.listen + "\"");
    if (host == "localhost") host = "127.0.0.1";
    if (!options.allowRemote && !platform::isLoopbackAddress(host))
        return failure(FailureKind::Refused,
                       host + " is not a loopback address; passwords travel unencrypted, so --allow-remote is needed");
    return std::pair{host, port};
}

int serve(const ServeOptions& options) {
    const auto address = listenAddress(options);
    if (!address) {
        std::cerr << "orvex-sandbox: " << address.failure().reason << "\n";
        return 2;
    }
    const auto& [host, port] = *address;

    // Ctrl+C and a service manager's stop are taken by one thread that stops
    // the server; every thread started from here on leaves them to it.
    platform::blockStopRequests();

    const std::string database = options.database.empty() ? sap::SandboxSystem::defaultDatabasePath() : options.database;
    auto opened = sap::SandboxSystem::open(database);
    if (!opened) {
        std::cerr << "orvex-sandbox: cannot open the sandbox database " << database << ": " << opened.failure().reason
                  << "\n";
        return 1;
    }
    std::unique_ptr<sap::SandboxSystem> sandbox = std::move(*opened);

    // Started after blockStopRequests, as every thread of the server.
    OutputLog output(STDOUT_FILENO);
    sap::SoapServer::Options serverOptions;
    serverOptions.clientExists = [&sandbox](const std::string& client) { return sandbox->hasClient(client); };
    sap::SoapServer server(
        [&sandbox](const sap::RfcRequest& request, const std::string& user) { return sandbox->call(request, user); },
        [&sandbox](const std::string& user, const std::string& password, const std::string& client) {
            return sandbox->checkLogon(user, password, client);
        },
        [&output](const std::string& line) { output.line(line); },
        serverOptions);
    const Result<int> bound = server.bind(host, port);
    if (!bound) {
        std::cerr << "orvex-sandbox: cannot listen on " << options.listen << "\n";
        return 1;
    }
    const std::string served = sap::Url::make(false, host, *bound).with("/sap/bc/soap/rfc").text();
    output.line("orvex-sandbox: serving " + served + " (database " + database + ")");

    const bool ok =
        platform::runUntilStopRequested([&server] { return server.run().ok(); }, [&server] { server.stop(); });
    output.line("orvex-sandbox: stopped");
    return ok ? 0 : 1;
}

}  // namespace

void addServeCommand(CLI::App& app, int& exitCode) {
    auto options = std::make_shared<ServeOptions>();
    CLI::App* command = app.add_subcommand("serve", "Serve the sandbox system over SAP's SOAP RFC protocol (HTTP)");
    command->add_option("--listen", options->listen, "HOST:PORT to listen on; port 0 takes a free port")
        ->capture_default_str();
    command->add_option("--db", options->database, "sandbox database (default: the one orvex and orvex-cli use)");
    command->add_flag("--allow-remote", options->allowRemote, "allow a listen address other than loopback");
    command->callback([options, &exitCode] { exitCode = serve(*options); });
}

}  // namespace orvex::app
