#pragma once
// orvex-cli's commands that talk to the SAP system.
namespace CLI {
class App;
}

namespace orvex::app {

// orvex-cli check-name / tables / fields / joins / install / ping
void addSapCommands(CLI::App& app, int& exitCode);

}  // namespace orvex::app
