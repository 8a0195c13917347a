#pragma once
// The logon settings and their INI file "Quaylin.ini": beside the program for
// a portable or build-tree install, otherwise in the user's config folder.
#include <string>

#include "common/platform/Files.h"
#include "common/platform/UserDirs.h"
#include "sap/Rfc.h"

namespace orvex::sap {

struct LogonValues {
    std::string user;               // SAPLogOn/SAPUid
    std::string password;           // SAPLogOn/SAPPwd
    std::string systemNumber;       // Connect/SysNum
    std::string system;             // Connect/SystID
    std::string applicationServer;  // Connect/AppSer
    std::string client;             // SAPLogOn/Client
    TlsSettings tls{};              // TLS/CAFile, TLS/ClientCertificate, TLS/ClientKey
    bool operator==(const LogonValues&) const = default;
};

// The program's and the user's folders (common/platform).
using platform::makePrivateFolder;
using platform::programDirectory;
using platform::userConfigFolder;
using platform::userDataFolder;
using platform::userStateFolder;

// programDirectory() + "/Quaylin.ini" when that file exists (a portable or
// build-tree install), otherwise userConfigFolder() + "/Quaylin.ini".
// Worked out anew on every call.
std::string settingsFilePath();

// One value without blanks around it (text::trim), cut to 255 characters;
// "" when file, section or key is missing.
std::string readSettingsValue(const std::string& path, const std::string& section, const std::string& key);
LogonValues readLogonValues(const std::string& path);

// What writing the settings did besides writing them.
struct SettingsWritten {
    // The file holds a password and was readable by group or others: it is
    // now 0600, readable by its owner only.
    bool tightened = false;
};

// Writes all six values atomically; a new file gets mode 0600, an existing one
// keeps its mode unless it holds a password others may read (see
// SettingsWritten). A value with a line break is refused. The [TLS] keys are
// written when they hold a file, and removed when emptied: a file without
// them stays without them.
Result<SettingsWritten> writeLogonValues(const std::string& path, const LogonValues& values);

// What is wrong with the [TLS] files: each must be an absolute path to a
// file this user can read. "" when every one given is usable.
std::string tlsFilesProblem(const TlsSettings& tls);

// First start: when no file is at `path`, writes the sandbox settings there
// (0600, its folder created 0700). Succeeds when the file was there or is now.
Status createSandboxSettings(const std::string& path);

// True when none of the six values is blank (text::blank); the main window
// enables "Connect SAP" by this, and orvex-cli refuses to log on without it.
bool settingsComplete(const LogonValues& values);

// The connection properties of a logon with these values.
ConnectionProperties connectionProperties(const LogonValues& values);

}  // namespace orvex::sap
