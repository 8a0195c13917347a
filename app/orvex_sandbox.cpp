// orvex-sandbox: look after the embedded sandbox SAP system.
#include <CLI/CLI.hpp>

#include "Commands.h"
#include "Version.h"

int main(int argc, char** argv) {
    CLI::App app{"ORVEX sandbox SAP system", "orvex-sandbox"};
    app.set_version_flag("--version", std::string("orvex-sandbox ") + ORVEX_VERSION_STRING);
    app.require_subcommand(1);
    int exitCode = 0;
    orvex::app::addServeCommand(app, exitCode);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        int rc = app.exit(e);
        return rc == 0 ? 0 : 2;
    }
    return exitCode;
}
