#pragma once
// Creates a generated program in the SAP system and, on request, sets its
// attributes and activates it.
#include <string>
#include <vector>

#include "generator/Generator.h"
#include "sap/Messages.h"
#include "sap/Rfc.h"
#include "sap/Settings.h"

namespace orvex::sap {

// The code of the failure when a program of that name exists and the request
// did not agree to replace it; nothing was sent but the look-up.
inline constexpr const char* kNameTaken = "NAME_TAKEN";

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
    // The program's text symbols (none: the program has no text pool to write).
    const std::vector<TextSymbol>* textPool = nullptr;
};

// What an installation did. Each outcome has been told through the message
// sink once (a taken name excepted: that one is the caller's to tell); these
// values are for the caller's decisions.
struct InstallResult {
    // Ok when the program was created; otherwise why not: the logon, the
    // look-up or the insertion failed or was refused, or the name is taken
    // (code kNameTaken).
    Status created = failure(FailureKind::Other, "the program was not installed");
    bool activationRequested = false;
    Status activation;  // why setting the attributes or activating failed
    std::vector<SapMessage> sapMessages;  // syntax check and activation, in order
    // The program's text pool is in the system, active (never set when the
    // request had none or it was not written).
    bool textPoolWritten = false;
    // Why the program's text pool was not written, its texts staying the
    // literals the program falls back on; empty when written or when none.
    std::string textsLiteral;

    bool nameTaken() const { return !created && created.failure().code == kNameTaken; }
    bool activated() const { return created && activationRequested && activation; }
};

// Logs on with its own component instance, looks the name up unless the
// request may replace, inserts the program, tells each outcome through
// `messages` and runs the installer when requested (it writes the text pool
// too); a program left inactive with a text pool gets an installer that
// writes only that.
InstallResult InstallProgram(const InstallRequest& request, const BackendFactory& factory,
                             const MessageSink& messages);

// The failure of an installation that found `name` taken (code kNameTaken).
Failure takenName(const std::string& name);

// The line a created program's message carries when its texts stay
// literals; empty when they do not.
std::string textsLiteralLine(const InstallResult& result);

// The installer program's rows, at most 72 characters each; the program is
// named by its repositoryName. It sets the attributes, writes `textPool`
// (when not empty) into the text pool of the logon language and activates.
std::vector<std::string> installerRows(const std::string& name, const std::string& title,
                                       const std::vector<TextSymbol>& textPool = {});
// An installer that only writes `textPool`, for a program left inactive.
std::vector<std::string> textPoolInstallerRows(const std::string& name, const std::vector<TextSymbol>& textPool);

}  // namespace orvex::sap
