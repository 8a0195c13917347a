#pragma once
// Running the command line of ORVEX's command-line programs.
namespace CLI {
class App;
}

namespace orvex::app {

// Parses the command line, which runs the chosen command, and gives the exit
// status: the command's `exitCode`; 0 after --help or --version; 2 for words
// the program does not take (CLI11 says which on standard error).
int runCommandLine(CLI::App& app, int argc, char** argv, const int& exitCode);

}  // namespace orvex::app
