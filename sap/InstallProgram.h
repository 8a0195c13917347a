#pragma once
// Creates a generated program in the SAP system and, on request, sets its
// attributes and activates it.
#include <string>
#include <vector>

#include "Messages.h"
#include "Rfc.h"
#include "Settings.h"

namespace orvex::sap {

enum class InstallOutcome { LogonFailed, Created, InsertFailed };

struct InstallRequest {
    const std::vector<std::string>* source = nullptr;  // the program, one line per entry
    std::string name;    // as typed; the program is created under its repositoryName
    std::string title;   // as typed
    bool unicodeCheck = false;  // run the installer (attributes + activation)
    LogonValues logon;
};

struct InstallResult {
    InstallOutcome outcome = InstallOutcome::LogonFailed;
    bool activationRequested = false;
    bool activated = false;     // installer ran and reported no error
    std::string activationError;
    Failure failure;     // why the logon or the insertion failed
};

// Logs on with its own component instance, inserts the program, reports each
// outcome through `messages` and runs the installer when requested.
InstallResult InstallProgram(const InstallRequest& request, const BackendFactory& factory,
                             const MessageSink& messages);

// The installer program's rows, at most 72 characters each; the program is
// named by its repositoryName.
std::vector<std::string> installerRows(const std::string& name, const std::string& title);

}  // namespace orvex::sap
