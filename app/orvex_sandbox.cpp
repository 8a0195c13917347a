// orvex-sandbox: look after the embedded sandbox SAP system.
#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/sandbox_serve.h"
#include "Version.h"
#include "sap/sandbox/SandboxSystem.h"

namespace {

using orvex::sap::SandboxProgram;
using orvex::sap::SandboxSystem;

int fail(const std::string& command, const std::string& message) {
    std::cerr << "orvex-sandbox " << command << ": " << message << '\n';
    return 2;
}

std::string date(const std::string& yyyymmdd) {
    if (yyyymmdd.size() != 8 || yyyymmdd == "00000000") return "-";
    return yyyymmdd.substr(0, 4) + "-" + yyyymmdd.substr(4, 2) + "-" + yyyymmdd.substr(6, 2);
}

// The sandbox at `path`; a database that cannot be opened is thrown to
// guarded(), which reports it.
std::shared_ptr<SandboxSystem> opened(const std::string& path) {
    auto system = SandboxSystem::shared(path);
    if (!system) throw std::runtime_error(system.failure().reason);
    return std::move(*system);
}

std::string status(const SandboxProgram& p) {
    if (p.delivered) return "delivered";
    return p.active ? "active" : "inactive";
}

int list() {
    auto system = opened(SandboxSystem::defaultDatabasePath());
    const auto programs = system->programs();
    if (!programs) return fail("list", programs.failure().text());
    for (const SandboxProgram& p : *programs) std::cout << p.name << '\t' << status(p) << '\t' << p.title << '\n';
    return 0;
}

int show(const std::string& name, bool sourceOnly) {
    auto system = opened(SandboxSystem::defaultDatabasePath());
    auto program = system->program(name);
    if (!program) return fail("show", program.failure().text());
    if (!sourceOnly) {
        std::cout << "Program:        " << program->name << '\n'
                  << "Title:          " << program->title << '\n'
                  << "Type:           " << program->type << (program->type == "1" ? " (executable program)" : "")
                  << '\n'
                  << "Unicode check:  " << (program->unicodeCheck == "X" ? "active" : "not active") << '\n'
                  << "Status:         " << status(*program) << '\n'
                  << "Author:         " << program->author << '\n'
                  << "Created on:     " << date(program->createdOn) << '\n'
                  << "Changed on:     " << date(program->changedOn) << '\n';
        if (program->delivered) {
            std::cout << "Source:         delivered with the sandbox, not kept\n";
            return 0;
        }
        std::cout << "Lines:          " << program->source.size() << "\n\n";
    }
    for (const std::string& line : program->source) std::cout << line << '\n';
    // The text pool after the source, one line per row: key, room, text.
    std::string language;
    for (const orvex::sap::SandboxText& t : sourceOnly ? std::vector<orvex::sap::SandboxText>{} : program->textPool) {
        if (t.language != language) {
            language = t.language;
            std::cout << "\nText pool, language " << language << " (key, maximum length, text):\n";
        }
        const std::string room = std::to_string(t.length);
        std::cout << (t.id == "I" ? "" : t.id + " ") << t.key << std::string(room.size() < 4 ? 4 - room.size() : 1, ' ')
                  << room << "  " << t.entry << '\n';
    }
    std::cout.flush();
    return std::cout ? 0 : fail("show", "cannot write to standard output");
}

int reset() {
    const std::string path = SandboxSystem::defaultDatabasePath();
    if (const orvex::Status reset = SandboxSystem::reset(path); !reset) return fail("reset", reset.failure().text());
    auto system = opened(path);
    const auto rows = system->tadirRowCount();
    if (!rows) return fail("reset", rows.failure().text());
    std::cout << "Sandbox reset: " << path << " (" << *rows << " TADIR rows)\n";
    return 0;
}

// A header line of the field names, then one line per row, fields separated by "|".
int rows(const std::string& table) {
    auto system = opened(SandboxSystem::defaultDatabasePath());
    const auto found = system->tableRows(table);
    if (!found) return fail("rows", found.failure().text());
    auto line = [](const std::vector<std::string>& values) {
        std::string text;
        for (const std::string& v : values) text += (text.empty() ? "" : "|") + v;
        std::cout << text << '\n';
    };
    line(found->fields);
    for (const auto& row : found->rows) line(row);
    std::cout.flush();
    return std::cout ? 0 : fail("rows", "cannot write to standard output");
}

int seed(long long count) {
    if (count < 1) return fail("seed", "--synthetic needs a number of tables above 0");
    auto system = opened(SandboxSystem::defaultDatabasePath());
    const auto total = system->addSyntheticTables(static_cast<std::size_t>(count));
    if (!total) return fail("seed", total.failure().text());
    std::cout << "Added " << count << " synthetic tables; TADIR holds " << *total << " rows\n";
    return 0;
}

// Runs one command; a database that cannot be opened is reported, not thrown.
template <typename F>
void guarded(const char* command, int& exitCode, F f) {
    try {
        exitCode = f();
    } catch (const std::exception& e) {
        exitCode = fail(command, e.what());
    }
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"ORVEX sandbox SAP system", "orvex-sandbox"};
    app.set_version_flag("--version", std::string("orvex-sandbox ") + ORVEX_VERSION_STRING);
    app.require_subcommand(1);
    int exitCode = 0;

    app.add_subcommand("list", "List the programs of the sandbox")->callback([&] { guarded("list", exitCode, list); });

    auto name = std::make_shared<std::string>();
    auto sourceOnly = std::make_shared<bool>(false);
    CLI::App* showCmd = app.add_subcommand("show", "Show the attributes, source and text pool of a program");
    showCmd->add_option("name", *name, "Program name")->required();
    showCmd->add_flag("--source", *sourceOnly, "Print the source only");
    showCmd->callback([&, name, sourceOnly] { guarded("show", exitCode, [&] { return show(*name, *sourceOnly); }); });

    app.add_subcommand("reset", "Delete the sandbox database and seed it afresh")->callback([&] {
        guarded("reset", exitCode, reset);
    });

    auto table = std::make_shared<std::string>();
    CLI::App* rowsCmd = app.add_subcommand(
        "rows", "Print the demo rows of a table (client 001): a header line of the field names, then one line per "
                "row, fields separated by '|'");
    rowsCmd->add_option("table", *table, "Table name, such as SFLIGHT")->required();
    rowsCmd->callback([&, table] { guarded("rows", exitCode, [&] { return rows(*table); }); });

    auto count = std::make_shared<long long>(0);
    CLI::App* seedCmd = app.add_subcommand("seed", "Add data for scale tests");
    seedCmd->add_option("--synthetic", *count, "Number of synthetic tables to add to TADIR")->required();
    seedCmd->callback([&, count] { guarded("seed", exitCode, [&] { return seed(*count); }); });

    orvex::app::addServeCommand(app, exitCode);
    return orvex::app::runCommandLine(app, argc, argv, exitCode);
}
