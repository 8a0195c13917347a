#pragma once
// Creates a generated program in the SAP system and, on request, sets its
// attributes and activates it.
#include <string>
#include <vector>

#include "sap/Messages.h"
#include "sap/Rfc.h"
#include "sap/Settings.h"

namespace orvex::sap {

// NameTaken: a program of that name exists and the request did not agree
// to replace it; nothing was sent but the look-up.
enum class InstallOutcome { LogonFailed, Created, InsertFailed, NameTaken };

// A message of SAP's syntax check or activation.
struct SapMessage {
    std::string type;  // E error, W warning, I information (A and X abort)
    int line = 0;      // 1-based; 0 when SAP named none
    int column = 0;    // 1-based; 0 when SAP named none
    std::string text;
    bool operator==(const SapMessage&) const = default;
};

struct InstallRequest {
    const std::vector<std::string>* source = nullptr;  // the program, one line per entry
    std::string name;    // as typed; the program is created under its repositoryName
    std::string title;   // as typed
    bool unicodeCheck = false;  // run the installer (attributes + activation)
    LogonValues logon;
    std::string package = "$TMP";  // where the program goes (ADT road only)
    std::string transport;         // the request that records it ("" for a local package)
    // An existing program of this name may be replaced (the user agreed).
    // Without it the name is looked up first and a taken one left alone.
    bool replace = false;
};

struct InstallResult {
    InstallOutcome outcome = InstallOutcome::LogonFailed;
    bool activationRequested = false;
    bool activated = false;     // installer ran and reported no error
    std::string activationError;
    Failure failure;     // why the logon or the insertion failed
    std::vector<SapMessage> sapMessages;  // syntax check and activation, in order
};

// Logs on with its own component instance, looks the name up unless the
// request may replace, inserts the program, reports each outcome through
// `messages` (a taken name is the caller's to tell) and runs the installer
// when requested.
InstallResult InstallProgram(const InstallRequest& request, const BackendFactory& factory,
                             const MessageSink& messages);

// The installer program's rows, at most 72 characters each; the program is
// named by its repositoryName.
std::vector<std::string> installerRows(const std::string& name, const std::string& title);

}  // namespace orvex::sap
