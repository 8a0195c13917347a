#pragma once
// The backend of the embedded sandbox system.
#include <memory>

#include "sap/Rfc.h"

namespace orvex::sap {

// The embedded sandbox system, with its database beside the program.
std::unique_ptr<RfcBackend> makeSandboxBackend(const ConnectionProperties& props);

}  // namespace orvex::sap
