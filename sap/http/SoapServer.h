#pragma once
// A server for SAP's SOAP-over-HTTP RFC protocol: POST /sap/bc/soap/rfc with
// basic authentication and the client in "sap-client", one function call per
// request. What a call does is up to the handler (the sandbox system in
// orvex-sandbox, scripted handlers in tests).
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/Failure.h"
#include "sap/Rfc.h"

namespace orvex::sap {

class SoapServer {
public:
    // Runs one call for the logged-on user; may be called from several threads at once.
    using Handler = std::function<RfcResult(const RfcRequest&, const std::string& user)>;
    // True when user and password may log on to the client.
    using LogonCheck = std::function<bool(const std::string& user, const std::string& password, const std::string& client)>;
    // True when the client exists in the system. When set, a logon to a
    // client that does not exist gets a logon page that says so.
    using ClientCheck = std::function<bool(const std::string& client)>;
    // Receives one finished line per request; may be called from several threads at once.
    using LogSink = std::function<void(const std::string& line)>;

    // A client is served by one worker from its first byte to its last; what
    // it may hold: a request's line and headers must come within
    // `headerDeadline` (and as soon as others wait for a worker, within a
    // quarter of a second), the whole request within `requestDeadline` (its
    // answer must be taken within as much again), its body is read only once
    // the logon is taken, and connections beyond the workers wait in a queue
    // of bounded length, those beyond it being turned away at once (503).
    struct Options {
        int threads = 16;                                     // connections served at once
        std::size_t queueLength = 64;                         // connections waiting for a worker
        // Larger requests get 413, from the announced length before a byte of
        // the body is read. A program of as many lines as a program may have
        // (32,768 of 255 characters) takes about 9 MiB.
        std::size_t maxRequestBytes = std::size_t(16) << 20;
        std::chrono::milliseconds requestDeadline{30'000};    // to send one request, and to take its answer
        std::chrono::milliseconds headerDeadline{5'000};      // to send a request's line and headers
        std::chrono::milliseconds keepAlive{5'000};           // idle keep-alive connections are closed after this
        ClientCheck clientExists;                             // optional
    };

    SoapServer(Handler handler, LogonCheck logonCheck, LogSink log = {});
    SoapServer(Handler handler, LogonCheck logonCheck, LogSink log, Options options);
    ~SoapServer();  // stops and joins
    SoapServer(const SoapServer&) = delete;
    SoapServer& operator=(const SoapServer&) = delete;

    // Binds host:port (port 0 picks a free one) and listens: from here on
    // connections are queued, and served once run() or start() takes them.
    // Returns the port.
    Result<int> bind(const std::string& host, int port);
    // Serves until stop(); a failure when not bound or when listening failed.
    Status run();
    // Serves on a background thread until stop() or destruction.
    void start();
    // Stops serving; callable from any thread, at any time, also before run()
    // has begun (run() then returns at once). Only the first call acts.
    void stop();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// One request's log line: time, peer, user, client, function, status, duration, reply size.
std::string formatLogLine(const std::string& peer, const std::string& user, const std::string& client,
                          const std::string& function, int status, long long micros, std::size_t replyBytes);

}  // namespace orvex::sap
