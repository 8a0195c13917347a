// orvex-cli: the wizard's jobs without a window.
#include <CLI/CLI.hpp>

#include "app/CommandLine.h"
#include "app/cli_generate.h"
#include "app/cli_preview.h"
#include "app/cli_sap.h"
#include "Version.h"

int main(int argc, char** argv) {
    CLI::App app{"ORVEX command line: generate ABAP ALV reports from design files and create them in SAP",
                 "orvex-cli"};
    app.set_version_flag("--version", std::string("orvex-cli ") + ORVEX_VERSION_STRING);
    app.require_subcommand(1);
    int exitCode = 0;
    orvex::app::addGenerateCommand(app, exitCode);
    orvex::app::addSapCommands(app, exitCode);
    orvex::app::addPreviewCommand(app, exitCode);
    return orvex::app::runCommandLine(app, argc, argv, exitCode);
}
