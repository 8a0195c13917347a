#pragma once
// What the backend over SAP's RFC library and its value transfer share: the
// words for what the library said, and moving a call's values between a
// request or reply and the library's function handle.
#include <string>

#include "common/Failure.h"
#include "sap/nwrfc/NwRfcLibrary.h"
#include "sap/Rfc.h"

namespace orvex::sap::rfclib {

using nwrfc::NwRfcLibrary;

const char* rcName(nwrfc::RFC_RC rc);
// What the library said, one line: the return code's name and its message.
std::string describe(const nwrfc::RFC_ERROR_INFO& info);
// A failed call: `exception` is its code, and says its kind.
Failure callFailed(std::string exception, std::string reason);
// A name as the zero-terminated UTF-16 the library takes; names are ASCII.
std::u16string name16(const std::string& name);

// Values go as given. Trailing blanks carry no meaning in an ABAP CHAR
// value (the library pads every value to its field), so a value that is
// too long only through them is sent without them.
Status sendExports(const NwRfcLibrary& lib, nwrfc::RFC_FUNCTION_HANDLE function, const RfcRequest& request);
Status sendTables(const NwRfcLibrary& lib, nwrfc::RFC_FUNCTION_HANDLE function, const RfcRequest& request);
// The parameters and tables the call gave back.
Status readParameters(const NwRfcLibrary& lib, nwrfc::RFC_FUNCTION_HANDLE function, const RfcRequest& request,
                      RfcReply& reply);
Status readTables(const NwRfcLibrary& lib, nwrfc::RFC_FUNCTION_HANDLE function, const RfcRequest& request,
                  RfcReply& reply);

}  // namespace orvex::sap::rfclib
