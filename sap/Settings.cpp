#include "sap/Settings.h"

#include "common/platform/AtomicFile.h"
#include "common/Text.h"
#include "common/platform/Files.h"

// UTF-8 text passes through unchanged; no conversion library needed.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>

namespace orvex::sap {

// The sandbox settings, compiled in from the sandbox's demo settings file.
extern const char kSandboxSettingsIni[];

namespace {

constexpr std::size_t kValueLimit = 255;  // a 256-character buffer with its terminator

std::string systemError(const std::string& what, const std::string& path) {
    return what + " \"" + path + "\": " + std::strerror(errno);
}

}  // namespace

std::string settingsFilePath() {
    const std::string beside = programDirectory() + "/Quaylin.ini";
    std::error_code ec;
    if (std::filesystem::exists(beside, ec)) return beside;
    return userConfigFolder() + "/Quaylin.ini";
}

Status createSandboxSettings(const std::string& path) {
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) return {};
    if (Status made = makePrivateFolder(std::filesystem::path(path).parent_path().string()); !made) return made;
    // Two programs starting together both write the same text: either file is the whole one.
    return writeFileAtomically(path, kSandboxSettingsIni, platform::kPrivateFile);
}

std::string readSettingsValue(const std::string& path, const std::string& section, const std::string& key) {
    CSimpleIniA ini;
    ini.SetUnicode(true);
    if (ini.LoadFile(path.c_str()) < 0) return {};
    const char* value = ini.GetValue(section.c_str(), key.c_str(), nullptr);
    if (!value) return {};
    // The value as a profile read gives it: at most 255 characters, then
    // without leading and trailing blanks.
    return std::string(text::trim(text::prefix(text::trim(value), kValueLimit)));
}

LogonValues readLogonValues(const std::string& path) {
    LogonValues values;
    values.user = readSettingsValue(path, "SAPLogOn", "SAPUid");
    values.password = readSettingsValue(path, "SAPLogOn", "SAPPwd");
    values.client = readSettingsValue(path, "SAPLogOn", "Client");
    values.systemNumber = readSettingsValue(path, "Connect", "SysNum");
    values.system = readSettingsValue(path, "Connect", "SystID");
    values.applicationServer = readSettingsValue(path, "Connect", "AppSer");
    values.tls.caFile = readSettingsValue(path, "TLS", "CAFile");
    values.tls.clientCertificate = readSettingsValue(path, "TLS", "ClientCertificate");
    values.tls.clientKey = readSettingsValue(path, "TLS", "ClientKey");
    return values;
}

Result<SettingsWritten> writeLogonValues(const std::string& path, const LogonValues& values) {
    const std::pair<const char*, const char*> keys[] = {
        {"SAPLogOn", "SAPUid"}, {"SAPLogOn", "SAPPwd"}, {"SAPLogOn", "Client"},
        {"Connect", "SysNum"},  {"Connect", "SystID"},  {"Connect", "AppSer"},
    };
    const std::string* texts[] = {&values.user,   &values.password, &values.client,
                                  &values.systemNumber, &values.system, &values.applicationServer};
    const std::pair<const char*, const std::string*> tlsKeys[] = {
        {"CAFile", &values.tls.caFile},
        {"ClientCertificate", &values.tls.clientCertificate},
        {"ClientKey", &values.tls.clientKey},
    };

    // A line break would end the value and start a new line of the file.
    auto broken = [](const std::string& text) { return text.find_first_of("\r\n") != std::string::npos; };
    for (std::size_t i = 0; i < 6; ++i) {
        if (broken(*texts[i])) {
            return failure(FailureKind::Refused,
                           std::string("The value of ") + keys[i].second + " must not contain a line break");
        }
    }
    for (const auto& [key, text] : tlsKeys)
        if (broken(*text))
            return failure(FailureKind::Refused, std::string("The value of ") + key + " must not contain a line break");

    // Keep whatever else the file holds; only these six keys change.
    CSimpleIniA ini;
    ini.SetUnicode(true);
    ini.SetSpaces(false);
    std::error_code exists;
    if (std::filesystem::exists(path, exists)) {
        std::ifstream in(path, std::ios::binary);
        if (!in) return failure(FailureKind::File, systemError("Cannot read the settings file", path));
        std::stringstream content;
        content << in.rdbuf();
        if (ini.LoadData(content.str()) < 0)
            return failure(FailureKind::File, "Cannot read the settings file \"" + path + "\"");
    }
    for (std::size_t i = 0; i < 6; ++i) ini.SetValue(keys[i].first, keys[i].second, texts[i]->c_str());
    // Files for TLS only where the user named one: older files stay as they were.
    for (const auto& [key, text] : tlsKeys) {
        if (!text::blank(*text))
            ini.SetValue("TLS", key, text->c_str());
        else
            ini.Delete("TLS", key, true);
    }

    std::string data;
    if (ini.Save(data) < 0) return failure(FailureKind::File, "Cannot prepare the settings for \"" + path + "\"");

    // The file is either the old one or the new one, never half-written. It
    // holds the password: a new file is readable by its owner only, and so
    // becomes an old one others could read.
    if (values.password.empty()) {
        if (Status written = writeFileAtomically(path, data, platform::kPrivateFile); !written) return written.failure();
        return SettingsWritten{};
    }
    const Result<bool> written = writePrivateFileAtomically(path, data);
    if (!written) return written.failure();
    return SettingsWritten{*written};
}

std::string tlsFilesProblem(const TlsSettings& tls) {
    const std::pair<const char*, const std::string*> files[] = {
        {"CAFile", &tls.caFile}, {"ClientCertificate", &tls.clientCertificate}, {"ClientKey", &tls.clientKey}};
    for (const auto& [key, file] : files) {
        if (text::blank(*file)) continue;
        if (file->front() != '/') return std::string(key) + " \"" + *file + "\" is not a full path (from /)";
        if (!platform::canRead(*file)) return systemError(std::string(key) + ": cannot read", *file);
    }
    if (text::blank(tls.clientCertificate) && !text::blank(tls.clientKey))
        return "ClientKey needs a ClientCertificate";
    return {};
}

bool settingsComplete(const LogonValues& values) {
    for (const std::string* text : {&values.user, &values.password, &values.systemNumber, &values.system,
                                    &values.applicationServer, &values.client})
        if (text::blank(*text)) return false;
    return true;
}

ConnectionProperties connectionProperties(const LogonValues& values) {
    ConnectionProperties props;
    props.User = values.user;
    props.Password = values.password;
    props.System = values.system;
    props.ApplicationServer = values.applicationServer;
    props.SystemNumber = values.systemNumber;
    props.Client = values.client;
    props.tls = values.tls;
    return props;
}

}  // namespace orvex::sap
