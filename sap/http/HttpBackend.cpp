#include "../Backends.h"

namespace orvex::sap {

// Until the HTTP transport exists, a logon to any address but the sandbox fails.
std::unique_ptr<RfcBackend> makeHttpBackend(const ConnectionProperties&) { return nullptr; }

}  // namespace orvex::sap
