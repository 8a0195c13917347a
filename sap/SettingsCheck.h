#pragma once
// Whether the logon values can name a system at all: the settings dialog
// shows the reasons next to its boxes as the user types and refuses OK while
// there are any; orvex-cli refuses a settings file with the same reasons.
#include <string>
#include <vector>

#include "sap/Settings.h"

namespace orvex::sap {

enum class LogonField { SystemNumber, System, Client, ApplicationServer };

struct LogonProblem {
    LogonField field;
    std::string reason;  // a sentence in plain words, naming the value
    bool operator==(const LogonProblem&) const = default;
};

// What is wrong with one value, "" when nothing. Blanks around the value do
// not count (the file gives it back without them); a blank value is no
// problem here, settingsComplete speaks of missing values.
//   client:             three digits ("001")
//   system number:      two digits ("00")
//   system ID:          three letters or digits, the first a letter ("SBX")
//   application server: a host name, an IPv4 or IPv6 address, a SAProuter
//                       string ("/H/router/S/3299/H/host") or an http or
//                       https URL the HTTP roads can use
std::string logonValueProblem(LogonField field, const std::string& value);

// The problems of all four checked values, in the dialog's order (system
// number, system ID, client, application server); empty when there are none.
std::vector<LogonProblem> logonProblems(const LogonValues& values);

// The field's caption in the settings dialog ("Client Number").
const char* logonFieldCaption(LogonField field);

}  // namespace orvex::sap
