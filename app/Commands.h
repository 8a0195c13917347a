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

// Parses the command line, which runs the chosen command, and gives the exit
// status: the command's `exitCode`; 0 after --help or --version; 2 for words
// the program does not take (CLI11 says which on standard error).
int runCommandLine(CLI::App& app, int argc, char** argv, const int& exitCode);

}  // namespace orvex::app
