#pragma once
// The backend that reaches an SAP system through SAP's NetWeaver RFC library,
// loaded at run time (NwRfcLibrary.h).
#include <memory>

#include "sap/nwrfc/NwRfcLibrary.h"
#include "sap/Rfc.h"

namespace orvex::sap {

// A backend over `library`; never null.
std::unique_ptr<RfcBackend> makeNwRfcBackend(std::shared_ptr<const nwrfc::NwRfcLibrary> library);

}  // namespace orvex::sap
