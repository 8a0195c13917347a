#pragma once
// orvex-cli's commands that write a program from a design file.
namespace CLI {
class App;
}

namespace orvex::app {

// orvex-cli generate / export
void addGenerateCommand(CLI::App& app, int& exitCode);

}  // namespace orvex::app
