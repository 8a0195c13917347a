// What orvex-cli and orvex-sandbox share around CLI11.
#include <CLI/CLI.hpp>

#include "app/CommandLine.h"

namespace orvex::app {

int runCommandLine(CLI::App& app, int argc, char** argv, const int& exitCode) {
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? 0 : 2;
    }
    return exitCode;
}

}  // namespace orvex::app
