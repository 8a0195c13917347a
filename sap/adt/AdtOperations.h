#pragma once
// The SAP operations over SAP's development REST interface (ADT): the
// program's resource and the name validation for the name check, the
// repository quick search for tables, element info for fields, and the
// installation validate - create - lock - check - write - unlock - activate.
#include <cstddef>
#include <memory>
#include <string>

#include "sap/adt/AdtSession.h"
#include "sap/Operations.h"

namespace orvex::sap::adt {

// The most tables one search lists.
inline constexpr std::size_t kSearchCap = 1000;

std::unique_ptr<Operations> makeAdtOperations(const LogonValues& logon, AdtOptions options = adtDefaults());

// Whether `url`'s host answers GET /sap/bc/adt/discovery as an ADT service
// does (200, or 401/403 asking for a logon): what it answered, or (as the
// failure's reason) what it answered instead.
Result<std::string> adtAnswers(const ConnectionProperties& props);

}  // namespace orvex::sap::adt
