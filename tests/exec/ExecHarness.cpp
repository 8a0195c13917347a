#include "ExecHarness.h"

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <stdexcept>

#include <pugixml.hpp>

#include "AbapGitExport.h"
#include "AbapValues.h"
#include "Generator.h"
#include "TempDir.h"
#include "Text.h"
#include "TranspilerFixes.h"
#include "sap/sandbox/DemoRows.h"

namespace orvex::exec {

namespace {

using nlohmann::json;

// Whole files; a file that is not there reads as empty.
std::string readFile(const fs::path& path) { return orvex::testing::TempDir::read(path.string()); }
void writeFile(const fs::path& path, const std::string& text) { orvex::testing::TempDir::write(path.string(), text); }

// `text` between apostrophes, each apostrophe in it written as `escaped`.
std::string quoted(const std::string& text, const std::string& escaped) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? escaped : std::string(1, c);
    return out + "'";
}
std::string shellQuoted(const fs::path& path) { return quoted(path.string(), "'\\''"); }

// Runs `command` in `folder` with output and error into the files; the exit status or -1.
int shell(const fs::path& folder, const std::string& command, const fs::path& out, const fs::path& err) {
    const std::string line = "cd " + shellQuoted(folder) + " && " + command + " >" + shellQuoted(out) + " 2>" + shellQuoted(err);
    const int status = std::system(line.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

const char* const kFlightTables[] = {"SCARR", "SPFLI", "SFLIGHT"};
constexpr const char* kClient = "001";  // the run's sy-mandt (setup.mjs)

}  // namespace

fs::path sourceDir() { return ORVEX_SOURCE_DIR; }

const std::vector<DictTable>& flightTables() {
    static const std::vector<DictTable> tables = [] {
        std::vector<DictTable> found;
        const json dictionary = json::parse(readFile(sourceDir() / "sap/sandbox/data/dictionary.json"));
        // Rows: name, DDIC type, length, decimals, data element, label, uncertain.
        for (const json& t : dictionary.at("tables")) {
            const std::string name = t.at("name");
            if (std::find(std::begin(kFlightTables), std::end(kFlightTables), name) == std::end(kFlightTables)) continue;
            DictTable& table = found.emplace_back(DictTable{name, {}});
            for (const json& row : t.at("fields")) table.fields.push_back({row.at(0), row.at(1), row.at(2), row.at(3)});
        }
        if (found.size() != std::size(kFlightTables)) throw std::runtime_error("the sandbox dictionary lacks a flight model table");
        return found;
    }();
    return tables;
}

const DictTable* findTable(const std::string& name) {
    for (const DictTable& t : flightTables())
        if (t.name == name) return &t;
    return nullptr;
}

const DictField& dictField(const std::string& table, const std::string& field) {
    if (const DictTable* t = findTable(table))
        for (const DictField& f : t->fields)
            if (f.name == field) return f;
    throw std::runtime_error("the execution tests have no field " + table + "-" + field);
}

std::string flightDataInserts() {
    static const std::string sql = [] {
        std::string out;
        for (const auto& [tableName, rows] : orvex::sap::sandbox::demoRows().items()) {
            if (!findTable(tableName)) continue;  // the reports read the flight tables only
            for (const json& given : rows) {
                for (const auto& [fieldName, value] : given.items()) dictField(tableName, fieldName);  // throws for a field the table lacks
                std::string columns, values;
                for (const DictField& field : findTable(tableName)->fields) {
                    // A field left out holds its initial value; every row is the run's client's.
                    const std::string value = field.name == "MANDT" ? kClient : canonicalValue(field, given.value(field.name, json()));
                    const ValueKind kind = valueKind(field);
                    columns += std::string(columns.empty() ? "" : ",") + "'" + text::lower(field.name) + "'";
                    values += std::string(values.empty() ? "" : ",") +
                              (kind == ValueKind::Integer || kind == ValueKind::Packed ? value : quoted(value, "''"));
                }
                out += "INSERT INTO '" + text::lower(tableName) + "' (" + columns + ") VALUES (" + values + ");\n";
            }
        }
        return out;
    }();
    return sql;
}

std::vector<json> ReportRun::callsOf(const std::string& function) const {
    std::vector<json> found;
    for (const json& call : calls)
        if (call.value("call", "") == function) found.push_back(call);
    return found;
}

std::vector<json> ReportRun::valuesOf(const std::string& key) const {
    std::vector<json> found;
    for (const json& call : calls)
        if (call.contains(key)) found.push_back(call[key]);
    return found;
}

std::string ReportRun::describe() const {
    std::string text = transpiled ? "node exited with " + std::to_string(exitCode) : "the transpiler failed";
    text += "\n--- output ---\n" + output;
    if (!listOutput.empty()) text += "\n--- list output ---\n" + listOutput;
    text += "\n--- ALV calls ---\n";
    for (const json& call : calls) text += call.dump() + "\n";
    return text;
}

std::string toolsMissing() {
    static const std::string missing = [] {
        orvex::testing::TempDir dir;
        const int status = shell(sourceDir(), "node scripts/node-modules-current.mjs", dir.path() / "out", dir.path() / "err");
        if (status == 0) return std::string();
        return "node or the packages of package-lock.json are missing (run scripts/setup.sh): " +
               readFile(dir.path() / "err") + readFile(dir.path() / "out");
    }();
    return missing;
}

namespace {
// The stand-in function modules' parameters, from their abapGit XML.
json standInInterfaces() {
    pugi::xml_document doc;
    const fs::path file = sourceDir() / "tests/exec/standins/zalv_standin.fugr.xml";
    if (!doc.load_file(file.c_str())) throw std::runtime_error("cannot read " + file.string());
    json interfaces = json::object();
    for (const pugi::xpath_node item : doc.select_nodes("//FUNCTIONS/item")) {
        json& function = interfaces[item.node().child_value("FUNCNAME")];
        const std::pair<std::string, const char*> sides[] = {
            {"importing", "IMPORT/RSIMP"}, {"exporting", "EXPORT/RSEXP"}, {"changing", "CHANGING/RSCHA"}, {"tables", "TABLES/RSTBL"}};
        for (const auto& [side, path] : sides) {
            function[side] = json::array();
            for (const pugi::xpath_node p : item.node().select_nodes(path)) {
                // Exporting parameters are always optional for the caller.
                const bool optional = side == "exporting" || std::string(p.node().child_value("OPTIONAL")) == "X";
                function[side].push_back({{"name", p.node().child_value("PARAMETER")}, {"optional", optional}});
            }
        }
    }
    return interfaces;
}

// The labels of the flight fields, one a line: language|TABLE|FIELD|label.
std::string dictionaryLabels() {
    static const std::string labels = [] {
        std::string out = readFile(sourceDir() / "tests/exec/standins/dictionary_labels_de.txt");
        const json dictionary = json::parse(readFile(sourceDir() / "sap/sandbox/data/dictionary.json"));
        for (const json& t : dictionary.at("tables"))
            if (findTable(t.at("name")))
                for (const json& row : t.at("fields"))
                    out += "E|" + t.at("name").get<std::string>() + "|" + row.at(0).get<std::string>() + "|" +
                           row.at(5).get<std::string>() + "\n";
        return out;
    }();
    return labels;
}

ReportRun transpileAndRun(const ReportDefinition& program, const std::string& source,
                          const std::vector<std::string>& refused, const std::string& language) {
    ReportRun run;
    orvex::testing::TempDir scratch;
    fs::path folder = scratch.path();
    if (const char* keep = std::getenv("ORVEX_EXEC_KEEP")) {
        folder = fs::path(keep) / abapGitFileStem(program.name);
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    const Status exported = exportForAbapGit(program, source, folder.string());
    if (!exported) throw std::runtime_error("cannot lay out " + program.name + ": " + exported.failure().text());

    const fs::path src = folder / "src", standIns = sourceDir() / "tests/exec/standins";
    for (const auto& entry : fs::directory_iterator(standIns))
        if (entry.path().extension() == ".abap" || entry.path().extension() == ".xml") fs::copy_file(entry.path(), src / entry.path().filename());
    // The SALV object model only for a program that uses it (it slows the transpiler).
    if (text::upper(source).find("CL_SALV_TABLE") != std::string::npos)
        for (const auto& entry : fs::directory_iterator(standIns / "salv")) fs::copy_file(entry.path(), src / entry.path().filename());
    fs::copy_file(sourceDir() / "tests/abaplint/slis.type.abap", src / "slis.type.abap");
    // No library is cloned: the type pool and the function group stand in.
    for (const char* file : {"setup.mjs", "abap_transpile.json"}) fs::copy_file(standIns / file, folder / file);
    writeFile(folder / "data.sql", flightDataInserts());
    std::string refusedTables;
    for (const std::string& table : refused) refusedTables += table + "\n";
    if (!refused.empty()) writeFile(folder / "refused_tables.txt", refusedTables);
    writeFile(folder / "interfaces.json", standInInterfaces().dump(1));
    writeFile(folder / "dictionary_labels.txt", dictionaryLabels());
    writeFile(folder / "logon_language.txt", language + "\n");
    fs::create_directory_symlink(sourceDir() / "node_modules", folder / "node_modules");

    const fs::path out = folder / "stdout.txt", err = folder / "stderr.txt";
    const std::string transpiler = shellQuoted(sourceDir() / "node_modules/@abaplint/transpiler-cli/abap_transpile");
    run.transpiled = shell(folder, "node " + transpiler + " abap_transpile.json", out, err) == 0;
    if (!run.transpiled) {
        run.output = readFile(out) + readFile(err);
        return run;
    }
    run.exitCode = shell(folder, "node " + shellQuoted("out/project/" + abapGitFileStem(program.name) + ".prog.mjs"), out, err);
    run.listOutput = readFile(out);
    run.output = readFile(err);
    std::istringstream lines(readFile(folder / "alv_calls.jsonl"));
    for (std::string line; std::getline(lines, line);) {
        const json call = json::parse(line, nullptr, false);
        if (!line.empty()) run.calls.push_back(call.is_discarded() ? json{{"error", "a capture line is no JSON: " + line}} : call);
    }
    return run;
}
}  // namespace

ReportRun runReport(const ReportDefinition& design, const std::vector<std::string>& refused,
                    const std::string& language) {
    GenerationResult generated = GenerateProgram(design);
    if (!generated) throw std::runtime_error("the generator refused the design: " + generated.failure().reason);
    return transpileAndRun(design, adaptForTranspiler(generated->text.text(), design.name), refused, language);
}

}  // namespace orvex::exec
