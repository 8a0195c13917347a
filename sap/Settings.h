#pragma once
// The logon settings and their INI file "Quaylin.ini": beside the program for
// a portable or build-tree install, otherwise in the user's config folder.
#include <optional>
#include <string>

#include "common/platform/Files.h"
#include "common/platform/UserDirs.h"
#include "sap/PasswordStore.h"
#include "sap/Rfc.h"

namespace orvex::sap {

// Where the password is kept: in the file (SAPLogOn/SAPPwd, the file 0600),
// or in the desktop's keyring, the file then saying so (SAPLogOn/PasswordIn=
// keyring) and holding no SAPPwd.
enum class PasswordPlace { File, Keyring };

struct LogonValues {
    std::string user;               // SAPLogOn/SAPUid
    std::string password;           // SAPLogOn/SAPPwd
    std::string systemNumber;       // Connect/SysNum
    std::string system;             // Connect/SystID
    std::string applicationServer;  // Connect/AppSer
    std::string client;             // SAPLogOn/Client
    TlsSettings tls{};              // TLS/CAFile, TLS/ClientCertificate, TLS/ClientKey
    PasswordPlace passwordPlace = PasswordPlace::File;
    bool operator==(const LogonValues&) const = default;
};

// The program's and the user's folders (common/platform).
using platform::makePrivateFolder;
using platform::programDirectory;
using platform::userConfigFolder;
using platform::userDataFolder;
using platform::userStateFolder;

// programDirectory() + "/Quaylin.ini" when anything is there (a portable or
// build-tree install; also a link to nothing or a file that cannot be read,
// which reading then refuses by name rather than another file being used),
// otherwise userConfigFolder() + "/Quaylin.ini". Worked out anew on every call.
std::string settingsFilePath();

// The whole settings file; nothing when there is none at `path`. Refused
// (kind File, naming the path) when it cannot be read: a link to nothing,
// anything but a regular file (a FIFO is never waited on), or the system's
// reason (permission denied...).
Result<std::optional<std::string>> readSettingsFile(const std::string& path);

// One value without blanks around it (text::trim), cut to 255 characters;
// "" when file, section or key is missing or the file cannot be read.
std::string readSettingsValue(const std::string& path, const std::string& section, const std::string& key);

// The logon values of a settings file, and what the user should know about
// its password.
struct SettingsRead {
    LogonValues values;
    // The file leaves the password to the keyring, which could not give it:
    // why, in the user's words; "" otherwise.
    std::string passwordProblem;
};
// A missing file gives empty values; a file that cannot be read is refused as
// readSettingsFile refuses it. A file with SAPPwd gives that password (older
// files, and the file as fallback); one with PasswordIn=keyring and no SAPPwd
// asks `store`.
Result<SettingsRead> readSettings(const std::string& path, PasswordStore& store);
Result<SettingsRead> readSettings(const std::string& path);  // with passwordStore()
// The values alone; empty ones when the file cannot be read.
LogonValues readLogonValues(const std::string& path);

// The keyring entry of a logon.
PasswordKey passwordKey(const LogonValues& values);

// What writing the settings did besides writing them.
struct SettingsWritten {
    // The file holds a password and was readable by group or others: it is
    // now 0600, readable by its owner only.
    bool tightened = false;
    // Where the password went: the keyring when asked for and it took it.
    PasswordPlace passwordPlace = PasswordPlace::File;
    // The keyring was asked to keep the password and could not: why. The
    // file holds the password instead.
    std::string keyringProblem;
};

// Writes all six values atomically; a new file gets mode 0600, an existing one
// keeps its mode unless it holds a password others may read (see
// SettingsWritten). A value with a line break is refused, and so is an
// existing file that cannot be read (readSettingsFile). The [TLS] keys are
// written when they hold a file, and removed when emptied: a file without
// them stays without them.
// With passwordPlace Keyring the password goes to `store` first and the file
// then holds no SAPPwd; when the store cannot take it the file holds it (see
// SettingsWritten); with Keyring and no password the file goes on pointing
// to the keyring, which is left as it is. A keyring entry the file no longer
// points to (another logon, or the password back in the file) is removed
// after the file is written, as far as the keyring lets it.
Result<SettingsWritten> writeLogonValues(const std::string& path, const LogonValues& values, PasswordStore& store);
Result<SettingsWritten> writeLogonValues(const std::string& path, const LogonValues& values);  // passwordStore()

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
