#pragma once
// The backend of the embedded sandbox system.
#include <memory>
#include <string>

#include "sap/Rfc.h"

namespace orvex::sap {

// The embedded sandbox system on the database at `databasePath`; "" takes
// SandboxSystem::defaultDatabasePath(), beside the program.
std::unique_ptr<RfcBackend> makeSandboxBackend(const std::string& databasePath);

}  // namespace orvex::sap
