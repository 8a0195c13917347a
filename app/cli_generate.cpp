// orvex-cli generate DESIGN.json [-o FILE]: the ABAP source of a design.
#include <iostream>
#include <memory>
#include <string>
#include <string_view>

#include <CLI/CLI.hpp>

#include "AtomicFile.h"
#include "Commands.h"
#include "DesignFile.h"
#include "Generator.h"
#include "Settings.h"

namespace orvex::app {

namespace {

struct GenerateOptions {
    std::string design;
    std::string output;
};

int runGenerate(const GenerateOptions& options) {
    auto fail = [](std::string message) {
        // One line, whatever the texts of the design quoted in it hold.
        for (char& c : message)
            if (c == '\n' || c == '\r') c = ' ';
        std::cerr << "orvex-cli generate: " << message << '\n';
        return 2;
    };
    DesignLoad load = loadDesignFile(options.design);
    if (!load) return fail(load.error);
    // Without an author of its own the program names the SAP user ID of the
    // settings file (empty when there is none).
    ReportDefinition& design = *load.design;
    if (!design.author) design.author = sap::readSettingsValue(sap::settingsFilePath(), "SAPLogOn", "SAPUid");
    GenerationResult result = GenerateProgram(design, SourceForm::TextOnly);
    if (auto* error = std::get_if<GenerationError>(&result)) return fail(options.design + ": " + error->message);
    const std::string_view text = std::get<Generated>(result).text.text();
    if (options.output.empty() || options.output == "-") {
        std::cout.write(text.data(), static_cast<std::streamsize>(text.size()));
        std::cout.flush();
        if (!std::cout) return fail("cannot write to standard output");
        return 0;
    }
    if (FileWrite written = writeFileAtomically(options.output, text, 0644); !written) return fail(written.error);
    return 0;
}

}  // namespace

void addGenerateCommand(CLI::App& app, int& exitCode) {
    auto options = std::make_shared<GenerateOptions>();
    CLI::App* cmd = app.add_subcommand("generate", "Write the ABAP source of the report a design file describes");
    cmd->add_option("design", options->design, "Design file (JSON, UTF-8)")->required();
    cmd->add_option("-o,--output", options->output, "Write the source to FILE instead of standard output")
        ->option_text("FILE");
    cmd->callback([options, &exitCode] { exitCode = runGenerate(*options); });
}

}  // namespace orvex::app
