#pragma once
// Sub-commands of the command-line programs, each registered by its own unit.
namespace CLI {
class App;
}

namespace orvex::app {

// orvex-cli generate / export
void addGenerateCommand(CLI::App& app, int& exitCode);
// orvex-cli check-name / tables / fields / joins / install / ping
void addSapCommands(CLI::App& app, int& exitCode);
// orvex-sandbox serve
void addServeCommand(CLI::App& app, int& exitCode);

}  // namespace orvex::app
