#pragma once
// How an installation ended, the way the user learns it, for tables of cases.
#include <string>
#include <vector>

#include "sap/InstallProgram.h"

namespace orvex::testing {

enum class InstallOutcome { LogonFailed, Created, InsertFailed, NameTaken };

// A refused logon is the one failure told as "No connection to R/3!".
inline InstallOutcome outcomeOf(const sap::InstallResult& result, const std::vector<sap::Message>& said) {
    if (result.created) return InstallOutcome::Created;
    if (result.nameTaken()) return InstallOutcome::NameTaken;
    const bool logon = !said.empty() && said.front().text == "No connection to R/3!";
    return logon ? InstallOutcome::LogonFailed : InstallOutcome::InsertFailed;
}

// Why the program was not created, or once created why it is not active; "" when nothing failed.
inline std::string whyOf(const sap::InstallResult& result) {
    const Status& failed = result.created ? result.activation : result.created;
    return failed ? std::string() : failed.failure().reason;
}

}  // namespace orvex::testing
