#pragma once
// orvex-sandbox's command that serves the sandbox over HTTP.
namespace CLI {
class App;
}

namespace orvex::app {

// orvex-sandbox serve
void addServeCommand(CLI::App& app, int& exitCode);

}  // namespace orvex::app
