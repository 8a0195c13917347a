#pragma once
// An HTTP server that holds its clients to limits: a request's line and
// headers within a deadline, the whole request within another, a bounded
// queue of connections waiting for a worker (those beyond it turned away at
// once), and a stop that ends the waiting of every live connection. It
// serves one POST path for a service, which admits a request from its line
// and headers before its body is read, and answers it once the body is in.
#include <httplib.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "common/Failure.h"

namespace orvex::sap {

// What the server knows of the request in hand on one connection, made
// afresh for each request and handed to the service with it.
struct ConnectionContext {
    bool admitted = false;          // the service took the request before its body was read
    std::string user;               // whom the service admitted (the service sets it)
    bool closeAfterAnswer = false;  // a body left unread: the connection carries no further request
    bool last = false;              // others wait for a worker: the connection ends with this answer
};

// The service the server carries.
struct GuardedService {
    std::string path;  // the one path served, by POST
    // From the request line and headers alone: true when the body is to be
    // read (the service sets whom it admitted); otherwise it writes its
    // refusal into the response.
    std::function<bool(const httplib::Request&, httplib::Response&, ConnectionContext&)> admit;
    // The body, read whole and within bounds, of an admitted request.
    std::function<void(const httplib::Request&, httplib::Response&, std::string body, ConnectionContext&)> answer;
    // The HTML page for an error status.
    std::function<std::string(int status, const std::string& title, const std::string& text)> errorPage;
};

// What a client may hold.
struct GuardedLimits {
    int threads;                                // connections served at once
    std::size_t queueLength;                    // connections waiting for a worker; more get 503
    std::size_t maxRequestBytes;                // a request's body, announced or decoded; more gets 413
    std::chrono::milliseconds requestDeadline;  // to send one request, and to take its answer
    std::chrono::milliseconds headerDeadline;   // to send a request's line and headers
    std::chrono::milliseconds keepAlive;        // idle keep-alive connections are closed after this
};

class GuardedHttpServer {
public:
    GuardedHttpServer(GuardedService service, GuardedLimits limits);
    ~GuardedHttpServer();  // stops and joins
    GuardedHttpServer(const GuardedHttpServer&) = delete;
    GuardedHttpServer& operator=(const GuardedHttpServer&) = delete;

    // As SoapServer's bind, run, start and stop.
    Result<int> bind(const std::string& host, int port);
    Status run();
    void start();
    void stop();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace orvex::sap
