#pragma once
// The function modules of the sandbox, one unit each, found by name in one
// table. Each runs on the database its caller has opened (see
// SandboxDatabase::Open) and throws what SQLite throws.
#include <functional>
#include <string>

#include "sap/Rfc.h"
#include "sap/sandbox/SandboxDatabase.h"

namespace orvex::sap::sandbox {

// One call of a function module.
struct ModuleCall {
    const RfcRequest& request;
    const std::string& user;  // the logged-on user, author of created programs
    SandboxDatabase& database;
    // Set by a function module that wrote: whether a fresh connection finds
    // what it wrote.
    std::function<bool()> confirmWrite;
};

// The language the sandbox's sessions log on in (SY-LANGU), that of the
// text pools its installer programs write.
inline constexpr const char* kLogonLanguage = "E";

using FunctionModule = RfcResult (*)(ModuleCall& call);

// The function module of that name; null for one the sandbox does not have.
FunctionModule functionModule(const std::string& name);

// RFC_READ_TABLE, DD_TABL_GET, BC_PR_INSERT and RFC_ABAP_INSTALL_AND_RUN.
RfcResult readTable(ModuleCall& call);
RfcResult tableGet(ModuleCall& call);
RfcResult programInsert(ModuleCall& call);
RfcResult installAndRun(ModuleCall& call);

// The export's value as sent, "" when it was not.
std::string exportOf(const RfcRequest& request, const char* name);

// The function raised `exception`; `reason` says in the user's words what
// the system refused ("" leaves the words to the caller).
Failure exceptionReply(const std::string& exception, std::string reason = {});

}  // namespace orvex::sap::sandbox
