#pragma once
// What the orvex-sandbox tool reads from the database: the programs, the
// size of TADIR and the demo rows. Each runs on the database its caller has opened and throws
// what SQLite throws.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "sap/sandbox/SandboxDatabase.h"
#include "sap/sandbox/SandboxSystem.h"

namespace orvex::sap::sandbox {

// Every program by name, without source.
std::vector<SandboxProgram> listPrograms(SandboxDatabase& database);
// The program with its source and text pool; none when the sandbox does not hold it.
std::optional<SandboxProgram> findProgram(SandboxDatabase& database, const std::string& name);
std::size_t tadirRowCount(SandboxDatabase& database);
// The demo rows of the table (named in upper case); none when it has none.
std::optional<SandboxTableRows> demoTableRows(SandboxDatabase& database, const std::string& table);

}  // namespace orvex::sap::sandbox
