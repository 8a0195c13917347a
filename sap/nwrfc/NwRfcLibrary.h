#pragma once
// SAP's NetWeaver RFC library, found and loaded at run time: ORVEX links
// nothing of it, so it builds and runs where the library is not installed.
#include <memory>
#include <string>

#include "common/Failure.h"
#include "sap/nwrfc/NwRfcApi.h"

namespace orvex::nwrfc {

// The loaded library and the functions ORVEX calls. Stays loaded for the
// life of the process.
struct NwRfcLibrary {
    std::string path;     // the file the loader opened
    std::string version;  // as RfcGetVersion gives it, e.g. "7500.0.12 (7.50.12)"
    RfcOpenConnection_t openConnection = nullptr;
    RfcCloseConnection_t closeConnection = nullptr;
    RfcGetFunctionDesc_t getFunctionDesc = nullptr;
    RfcCreateFunction_t createFunction = nullptr;
    RfcDestroyFunction_t destroyFunction = nullptr;
    RfcInvoke_t invoke = nullptr;
    RfcSetChars_t setChars = nullptr;
    RfcGetChars_t getChars = nullptr;
    RfcGetTable_t getTable = nullptr;
    RfcAppendNewRow_t appendNewRow = nullptr;
    RfcGetRowCount_t getRowCount = nullptr;
    RfcMoveTo_t moveTo = nullptr;
    RfcDescribeType_t describeType = nullptr;
    RfcGetFieldCount_t getFieldCount = nullptr;
    RfcGetFieldDescByIndex_t getFieldDescByIndex = nullptr;
    RfcGetFieldDescByName_t getFieldDescByName = nullptr;
    RfcGetVersion_t getVersion = nullptr;
    // Optional: ends a call running on another thread; null in libraries
    // that predate it.
    RfcCancel_t cancel = nullptr;
};

// The loaded library, or why it was not loaded (one line).
using LibraryLoad = Result<std::shared_ptr<const NwRfcLibrary>>;

// $SAPNWRFC_HOME/lib/libsapnwrfc.so when the variable is set and not empty,
// otherwise "libsapnwrfc.so" through the system loader's search
// (LD_LIBRARY_PATH, ld.so.conf).
std::string libraryLocation();

// Loads the library at `path` (a bare name uses the loader's search; a path
// with a folder must be absolute, so SAPNWRFC_HOME must be). When
// libsapucum.so lies in the same folder it is loaded first, globally, since
// the RFC library needs it. A missing library or a missing function is a
// reason, never a crash; an optional function may be missing. Each path is
// tried once per process: the first answer, library or reason, is kept.
LibraryLoad loadLibrary(const std::string& path);
inline LibraryLoad loadLibrary() { return loadLibrary(libraryLocation()); }

}  // namespace orvex::nwrfc
