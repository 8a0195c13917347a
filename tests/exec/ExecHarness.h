#pragma once
// Runs a generated report: lays it out as an abapGit repository beside the
// flight tables (standins/*.tabl.xml), the ALV stand-ins and the type pool SLIS, turns it into
// JavaScript with the ABAP transpiler of package-lock.json, and runs it with
// node on SQLite holding the flight data set. What the report handed to the
// ALV comes back as the stand-ins wrote it: one JSON object per call, and one
// per row of the output table.
#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "ReportDefinition.h"

namespace orvex::exec {

namespace fs = std::filesystem;

// Where the tests find the repository (set by the build).
fs::path sourceDir();

// One field of a dictionary table, as the sandbox's dictionary holds it.
struct DictField {
    std::string name;
    std::string type;  // DDIC data type: CHAR, NUMC, DATS, TIMS, INT4, CURR, ...
    int length = 0;
    int decimals = 0;
};

struct DictTable {
    std::string name;
    std::vector<DictField> fields;
};

// The flight model tables of the sandbox's dictionary.
const std::vector<DictTable>& flightTables();
// One of them; null when there is none.
const DictTable* findTable(const std::string& name);
// A field of one of them; throws when there is none.
const DictField& dictField(const std::string& table, const std::string& field);

// The sandbox's demo rows of the flight tables (sap/sandbox/DemoRows.h) as
// SQL INSERTs into the tables the transpiler creates: every row complete (a field left out holds its
// initial value), each value canonical (AbapValues.h), the client the run's
// client, 001.
std::string flightDataInserts();

// What one run left behind.
struct ReportRun {
    bool transpiled = false;
    int exitCode = -1;                 // node's exit status
    std::string output;                // the transpiler's output when it failed, else node's standard error
    std::string listOutput;            // the report's WRITE output (standard output of the run)
    std::vector<nlohmann::json> calls; // alv_calls.jsonl, in order

    bool ok() const { return transpiled && exitCode == 0; }
    // The calls of one function module or method, in order.
    std::vector<nlohmann::json> callsOf(const std::string& function) const;
    // The value under `key` of each captured line that has one, in order:
    // "row" (a display call's row, keyed by catalogue field name), "cells" (a
    // SALV row, its cells in the order of the table's components), "error"
    // (what a stand-in reported as an error).
    std::vector<nlohmann::json> valuesOf(const std::string& key) const;
    std::string describe() const;  // for failure messages
};

// Generates the report of the design, adapts it to the transpiler (see
// TranspilerFixes.h) and runs it as the program named and titled by the
// design, in a fresh folder. When ORVEX_EXEC_KEEP names a folder, the run is
// kept there instead, for a look at a failure. The user may display every
// table but those `refused` names (VIEW_AUTHORITY_CHECK's stand-in), and
// logs on in `language` (sy-langu): the dictionary's stand-in
// (DDIF_FIELDINFO_GET) has the flight fields' English labels of the
// sandbox's dictionary and some German ones (standins/dictionary_labels_de.txt).
ReportRun runReport(const ReportDefinition& design, const std::vector<std::string>& refused = {},
                    const std::string& language = "E");

// Whether node and the pinned packages are there; the reason when not.
std::string toolsMissing();

}  // namespace orvex::exec
