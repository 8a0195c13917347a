#pragma once
// The backends behind the component interface.
#include <memory>

#include "sap/Rfc.h"

namespace orvex::sap {

// The embedded sandbox system, with its database beside the program.
std::unique_ptr<RfcBackend> makeSandboxBackend(const ConnectionProperties& props);
// SAP's SOAP-over-HTTP RFC service at the application server's address.
std::unique_ptr<RfcBackend> makeHttpBackend(const ConnectionProperties& props);

}  // namespace orvex::sap
