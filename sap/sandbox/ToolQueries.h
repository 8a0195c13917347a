#pragma once
// What the orvex-sandbox tool reads from the database: the programs and the
// size of TADIR. Each runs on the database its caller has opened and throws
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
// The program with its source; none when the sandbox does not hold it.
std::optional<SandboxProgram> findProgram(SandboxDatabase& database, const std::string& name);
std::size_t tadirRowCount(SandboxDatabase& database);

}  // namespace orvex::sap::sandbox
