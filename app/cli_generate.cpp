// orvex-cli generate DESIGN.json [-o FILE]: the ABAP source of a design;
// orvex-cli export DESIGN.json DIR: the same program as an abapGit folder.
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <CLI/CLI.hpp>

#include "generator/AbapGitExport.h"
#include "common/platform/AtomicFile.h"
#include "app/cli_generate.h"
#include "app/cli_sap.h"
#include "generator/DesignCheck.h"
#include "generator/DesignFile.h"
#include "generator/DesignFindings.h"
#include "generator/Generator.h"
#include "sap/Settings.h"

namespace orvex::app {

namespace {

struct GenerateOptions {
    std::string design;
    std::string output;
    bool dictionary = false;  // check the design against the system's field types
    std::string style;  // "classic" or "modern" overrides the design's; "" keeps it
    long long maxRows = -1;  // the row limit's default over the design's; -1 keeps it
};

// One line on stderr, whatever the texts of the design quoted in it hold.
int fail(const char* command, std::string message) {
    for (char& c : message)
        if (c == '\n' || c == '\r') c = ' ';
    std::cerr << "orvex-cli " << command << ": " << message << '\n';
    return 2;
}

struct DesignProgram {
    ReportDefinition design;
    Generated program;
};

// The design and its program as sent to SAP, or why there is none. The
// design's warnings go to standard error first, one line each; an error
// stops before anything is written. With `dictionary` the design is also
// checked against the field types of the system the settings file names.
Result<DesignProgram> generateDesign(const char* command, const std::string& path, const std::string& style = {},
                                     long long maxRows = -1, bool dictionary = false) {
    Result<ReportDefinition> load = loadDesignFile(path);
    if (!load) return load.failure();
    if (!style.empty()) load->style = style == "modern" ? CodeStyle::Modern : CodeStyle::Classic;
    if (maxRows >= 0) load->maxRows = maxRows;
    ReportDefinition& design = *load;
    std::optional<sap::DesignFieldTypes> types;
    // A design the generator refuses is refused before any logon. Types that
    // cannot be read are left out of the check, which says so.
    if (dictionary && checkDesign(design)) types = designFieldTypes(design);
    const Status reviewed = tellFindings(command, path, design, types ? types->types.lookup() : FieldTypeOf{},
                                         types ? types->notice() : std::nullopt);
    // Without an author of its own the program names the SAP user ID of the
    // settings file (empty when there is none).
    if (!design.author) design.author = sap::readSettingsValue(sap::settingsFilePath(), "SAPLogOn", "SAPUid");
    GenerationResult result = GenerateProgram(design, SourceForm::TextOnly);
    if (!result) return failure(result.failure().kind, path + ": " + result.failure().reason);
    if (!reviewed) return reviewed.failure();
    return DesignProgram{std::move(design), std::move(*result)};
}

int runGenerate(const GenerateOptions& options) {
    auto fail = [](std::string message) { return app::fail("generate", std::move(message)); };
    auto generated = generateDesign("generate", options.design, options.style, options.maxRows, options.dictionary);
    if (!generated) return fail(generated.failure().text());
    const std::string_view text = generated->program.text.text();
    if (options.output.empty() || options.output == "-") {
        std::cout.write(text.data(), static_cast<std::streamsize>(text.size()));
        std::cout.flush();
        if (!std::cout) return fail("cannot write to standard output");
        return 0;
    }
    if (Status written = writeFileAtomically(options.output, text, 0644); !written) return fail(written.failure().text());
    return 0;
}

struct ExportOptions {
    std::string design;
    std::string folder;
    std::string style;
};

int runExport(const ExportOptions& options) {
    auto generated = generateDesign("export", options.design, options.style);
    if (!generated) return fail("export", generated.failure().text());
    const auto& [design, program] = *generated;
    const Status exported = exportForAbapGit(design, program.text.text(), options.folder, program.textPool);
    if (!exported) return fail("export", options.design + ": " + exported.failure().text());
    return 0;
}

// --style overrides the style the design file names.
void addStyleOption(CLI::App& cmd, std::string& style) {
    cmd.add_option("--style", style,
                   "Code style of the program, whatever the design file says: classic (FORM routines, "
                   "REUSE_ALV function modules) or modern (ABAP 7.40, a local class, CL_SALV_TABLE)")
        ->check(CLI::IsMember({"classic", "modern"}))
        ->option_text("classic|modern");
}

}  // namespace

Status tellFindings(const char* command, const std::string& path, const ReportDefinition& design,
                    const FieldTypeOf& typeOf, const std::optional<Finding>& notice) {
    const std::vector<Finding> findings = reviewDesign(design, typeOf);
    if (notice) fail(command, path + ": " + notice->text());
    for (const Finding& finding : findings)
        if (finding.severity == Finding::Warning) fail(command, path + ": " + finding.text());
    for (const Finding& finding : findings)
        if (finding.severity == Finding::Error) return failure(FailureKind::Refused, path + ": " + finding.text());
    return {};
}

void addGenerateCommand(CLI::App& app, int& exitCode) {
    auto options = std::make_shared<GenerateOptions>();
    CLI::App* cmd = app.add_subcommand("generate", "Write the ABAP source of the report a design file describes");
    cmd->add_option("design", options->design, "Design file (JSON, UTF-8)")->required();
    cmd->add_option("-o,--output", options->output, "Write the source to FILE instead of standard output")
        ->option_text("FILE");
    addStyleOption(*cmd, options->style);
    cmd->add_option("--max-rows", options->maxRows,
                    "Give the report a row limit on its selection screen with this default (0: every row), "
                    "whatever the design file says")
        ->check(CLI::Range(0LL, kMaxRowLimit))
        ->option_text("N");
    cmd->add_flag("--dictionary", options->dictionary,
                  "Log on with the settings file and check the design against the field types of its tables: "
                  "a join of fields whose types or lengths differ is a warning, a total on a field that is no "
                  "number an error (tables whose fields cannot be read are left out, and the check says so)");
    cmd->callback([options, &exitCode] { exitCode = runGenerate(*options); });

    auto exportOptions = std::make_shared<ExportOptions>();
    CLI::App* exp = app.add_subcommand("export", "Write the report a design file describes as an abapGit folder");
    exp->add_option("design", exportOptions->design, "Design file (JSON, UTF-8)")->required();
    exp->add_option("folder", exportOptions->folder, "Repository folder (created when missing)")->required();
    addStyleOption(*exp, exportOptions->style);
    exp->callback([exportOptions, &exitCode] { exitCode = runExport(*exportOptions); });
}

}  // namespace orvex::app
