// orvex-cli preview DESIGN.json [--rows N] [--count] [--set NAME=VALUE ...]
// [--format table|csv|json]: the first rows the report of a design selects,
// read on the road the settings file chooses; nothing is created.
#include <algorithm>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "app/cli_generate.h"
#include "app/cli_preview.h"
#include "app/cli_sap.h"
#include "common/Text.h"
#include "generator/DesignFile.h"
#include "generator/ReportQuery.h"
#include "sap/DesignFieldTypes.h"
#include "session/PreviewFlow.h"

namespace orvex::app {

namespace {

struct PreviewCommand {
    std::string design;
    std::size_t rows = 100;
    bool count = false;
    std::vector<std::string> sets;  // NAME=VALUE
    std::string format = "table";
};

int fail(std::string message) {
    for (char& c : message)
        if (c == '\n' || c == '\r') c = ' ';
    std::cerr << "orvex-cli preview: " << text::escapedControls(message) << '\n';
    return 2;
}

// The characters a terminal gives a text: those of UTF-8, not its bytes.
std::size_t widthOf(const std::string& text) {
    return static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// A date as YYYY-MM-DD; an initial date blank; anything else as it came.
std::string shownDate(const std::string& value) {
    if (value == "00000000") return {};
    if (value.size() != 8 || !std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return value;
    return value.substr(0, 4) + "-" + value.substr(4, 2) + "-" + value.substr(6, 2);
}

// Columns two blanks apart, each as wide as its widest cell, numbers
// right-aligned, dates as YYYY-MM-DD; a line of dashes under the headers.
void writeTable(const std::vector<session::ShownColumn>& columns, const sap::DataPreview& preview) {
    std::vector<std::vector<std::string>> lines(preview.rows.size() + 2);
    std::vector<std::size_t> width(columns.size());
    for (std::size_t c = 0; c < columns.size(); ++c) {
        lines[0].push_back(text::escapedControls(columns[c].header));
        for (std::size_t r = 0; r < preview.rows.size(); ++r) {
            const std::string value = c < preview.rows[r].size() ? preview.rows[r][c] : std::string();
            lines[r + 2].push_back(text::escapedControls(columns[c].kind == session::ColumnKind::Date ? shownDate(value) : value));
        }
        for (std::size_t l = 0; l < lines.size(); ++l)
            if (l != 1) width[c] = std::max(width[c], widthOf(lines[l][c]));
        lines[1].push_back(std::string(width[c], '-'));
    }
    for (const auto& cells : lines) {
        std::string line;
        for (std::size_t c = 0; c < cells.size(); ++c) {
            const std::string fill(width[c] - widthOf(cells[c]), ' ');
            line += (c ? "  " : "") +
                    (columns[c].kind == session::ColumnKind::Number ? fill + cells[c] : cells[c] + fill);
        }
        std::cout << std::string(text::trimEnd(line)) << '\n';
    }
}

// A CSV field, quoted when it holds a separator, a quote, a line break or
// blanks at its ends; quotes inside doubled.
std::string csvField(const std::string& value) {
    const bool quote = value.find_first_of(",\"\r\n") != std::string::npos ||
                       (!value.empty() && (value.front() == ' ' || value.back() == ' '));
    if (!quote) return value;
    std::string quoted = "\"";
    for (char c : value) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + '"';
}

// A header line of the field names, then one line per row (CRLF, as RFC 4180 has it).
void writeCsv(const sap::DataPreview& preview) {
    auto line = [](const std::vector<std::string>& cells) {
        std::string out;
        for (std::size_t c = 0; c < cells.size(); ++c) out += (c ? "," : "") + csvField(cells[c]);
        std::cout << out << "\r\n";
    };
    std::vector<std::string> names;
    for (const sap::PreviewColumn& column : preview.columns) names.push_back(column.name);
    line(names);
    for (const auto& row : preview.rows) line(row);
}

// {"columns": [{"name", "description", "type"}...], "rows": [{NAME: value...}...]}
void writeJson(const std::vector<session::ShownColumn>& columns, const sap::DataPreview& preview) {
    nlohmann::ordered_json out = {{"columns", nlohmann::ordered_json::array()},
                                  {"rows", nlohmann::ordered_json::array()}};
    for (std::size_t c = 0; c < columns.size(); ++c)
        out["columns"].push_back({{"name", preview.columns[c].name},
                                  {"description", columns[c].header},
                                  {"type", preview.columns[c].type}});
    for (const auto& row : preview.rows) {
        nlohmann::ordered_json object = nlohmann::ordered_json::object();
        for (std::size_t c = 0; c < preview.columns.size(); ++c)
            object[preview.columns[c].name] = c < row.size() ? row[c] : std::string();
        out["rows"].push_back(std::move(object));
    }
    std::cout << out.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
}

int runPreview(const PreviewCommand& command) {
    Result<ReportDefinition> load = loadDesignFile(command.design);
    if (!load) return fail(load.failure().text());
    const ReportDefinition& design = *load;
    InputValues values;
    for (const std::string& set : command.sets) {
        const auto equals = set.find('=');
        if (equals == std::string::npos || text::blank(set.substr(0, equals)))
            return fail("--set " + set + ": NAME=VALUE expected, such as S_CARRID=LH");
        values[text::upper(text::trim(set.substr(0, equals)))] = set.substr(equals + 1);
    }
    // A design the generator refuses is refused before the logon.
    Result<ReportPlan> plan = planReport(design);
    if (!plan) return fail(command.design + ": " + plan.failure().reason);
    auto opened = openOperations();
    if (!opened) return fail(opened.failure().reason);
    sap::Operations& operations = **opened;
    const sap::DesignFieldTypes types = sap::readDesignFieldTypes(operations, design);
    const FieldTypeOf typeOf = types.types.lookup();
    if (const Status reviewed = tellFindings("preview", command.design, design, typeOf, types.notice()); !reviewed)
        return fail(reviewed.failure().text());
    Result<ReportQuery> query = bindQuery(*plan, values, typeOf);
    if (!query) return fail(query.failure().text());
    Result<sap::DataPreview> read = operations.previewData(*query, {command.rows, command.count});
    if (!read) return fail(read.failure().text());
    const std::vector<session::ShownColumn> columns = session::shownColumns(*query, *read, typeOf);
    if (command.format == "csv") writeCsv(*read);
    else if (command.format == "json") writeJson(columns, *read);
    else writeTable(columns, *read);
    std::cout.flush();
    if (!std::cout) return fail("cannot write to standard output");
    std::cerr << session::countLine(*read, command.rows) << '\n';
    return 0;
}

}  // namespace

void addPreviewCommand(CLI::App& app, int& exitCode) {
    auto command = std::make_shared<PreviewCommand>();
    CLI::App* cmd = app.add_subcommand(
        "preview",
        "Show the first rows the report of a design file selects, read on the SAP system the settings file names, "
        "before any program exists (nothing is created). The design check runs first. Standard output: the rows; "
        "standard error: the count line (\"100 of 2,345 rows\" when counted, \"first 100 rows\" when more may "
        "follow). Exit 0; exit 2 with the reason when the design check finds errors, the road cannot preview "
        "this design (SOAP and SAP's RFC library: one table through RFC_READ_TABLE, no joins) or the system "
        "refuses");
    cmd->add_option("design", command->design, "Design file (JSON, UTF-8)")->required();
    cmd->add_option("--rows", command->rows, "Read at most N rows (default 100; never more than the report's own row limit)")
        ->check(CLI::Range(std::size_t(1), std::size_t(100000)))
        ->option_text("N");
    cmd->add_flag("--count", command->count, "Also count all rows the query selects (a second query)");
    cmd->add_option("--set", command->sets,
                    "An input's value for this preview instead of the design's default, by the input's name "
                    "(S_CARRID=LH, P_FLDATE=15.01.2024); a blank select-option selects every row; repeatable")
        ->option_text("NAME=VALUE")
        ->take_all()
        ->allow_extra_args(false);
    cmd->add_option("--format", command->format,
                    "table: columns aligned under the output fields' descriptions (default); csv: a header line "
                    "of the field names, then the rows, quoted where needed; json: an object with \"columns\" "
                    "and \"rows\", each row an object keyed by the field's name")
        ->check(CLI::IsMember({"table", "csv", "json"}))
        ->option_text("table|csv|json");
    cmd->callback([command, &exitCode] { exitCode = runPreview(*command); });
}

}  // namespace orvex::app
