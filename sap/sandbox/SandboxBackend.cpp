#include "../Backends.h"

namespace orvex::sap {

std::unique_ptr<RfcBackend> makeSandboxBackend(const ConnectionProperties&) { return nullptr; }

}  // namespace orvex::sap
