// orvex-sandbox serve: the sandbox system over SAP's SOAP-over-HTTP RFC
// protocol, so that the HTTP transport can be used and tested end to end.

#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <memory>
#include <mutex>
#include <utility>

#include "app/sandbox_serve.h"
#include "common/platform/Network.h"
#include "common/platform/StopRequests.h"
#include "sap/http/HttpClient.h"
#include "sap/http/SoapServer.h"
#include "sap/sandbox/SandboxSystem.h"

namespace orvex::app {

namespace {

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

    std::mutex logMutex;
    sap::SoapServer::Options serverOptions;
    serverOptions.clientExists = [&sandbox](const std::string& client) { return sandbox->hasClient(client); };
    sap::SoapServer server(
        [&sandbox](const sap::RfcRequest& request, const std::string& user) { return sandbox->call(request, user); },
        [&sandbox](const std::string& user, const std::string& password, const std::string& client) {
            return sandbox->checkLogon(user, password, client);
        },
        [&logMutex](const std::string& line) {
            std::lock_guard lock(logMutex);
            std::fprintf(stdout, "%s\n", line.c_str());
            std::fflush(stdout);
        },
        serverOptions);
    const Result<int> bound = server.bind(host, port);
    if (!bound) {
        std::cerr << "orvex-sandbox: cannot listen on " << options.listen << "\n";
        return 1;
    }
    const std::string served = sap::Url::make(false, host, *bound).with("/sap/bc/soap/rfc").text();
    {
        std::lock_guard lock(logMutex);
        std::fprintf(stdout, "orvex-sandbox: serving %s (database %s)\n", served.c_str(), database.c_str());
        std::fflush(stdout);
    }

    const bool ok =
        platform::runUntilStopRequested([&server] { return server.run().ok(); }, [&server] { server.stop(); });
    std::fprintf(stdout, "orvex-sandbox: stopped\n");
    std::fflush(stdout);
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
