#include "Settings.h"

#include "AtomicFile.h"

// UTF-8 text passes through unchanged; no conversion library needed.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace orvex::sap {

namespace {

constexpr std::size_t kValueLimit = 255;  // a 256-character buffer with its terminator

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

std::string systemError(const std::string& what, const std::string& path) {
    return what + " \"" + path + "\": " + std::strerror(errno);
}

}  // namespace

std::string programDirectory() {
    std::error_code error;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return std::filesystem::current_path(error).string();
    return exe.parent_path().string();
}

std::string settingsFilePath() { return programDirectory() + "/Quaylin.ini"; }

std::string readSettingsValue(const std::string& path, const std::string& section, const std::string& key) {
    CSimpleIniA ini;
    ini.SetUnicode(true);
    if (ini.LoadFile(path.c_str()) < 0) return {};
    const char* value = ini.GetValue(section.c_str(), key.c_str(), nullptr);
    if (!value) return {};
    // The value as a profile read gives it: at most 255 characters, then
    // without leading and trailing blanks.
    std::string text = trimmed(value);
    if (text.size() > kValueLimit) text.resize(kValueLimit);
    return trimmed(text);
}

LogonValues readLogonValues(const std::string& path) {
    LogonValues values;
    values.user = readSettingsValue(path, "SAPLogOn", "SAPUid");
    values.password = readSettingsValue(path, "SAPLogOn", "SAPPwd");
    values.client = readSettingsValue(path, "SAPLogOn", "Client");
    values.systemNumber = readSettingsValue(path, "Connect", "SysNum");
    values.system = readSettingsValue(path, "Connect", "SystID");
    values.applicationServer = readSettingsValue(path, "Connect", "AppSer");
    return values;
}

SettingsWriteResult writeLogonValues(const std::string& path, const LogonValues& values) {
    SettingsWriteResult result;
    const std::pair<const char*, const char*> keys[] = {
        {"SAPLogOn", "SAPUid"}, {"SAPLogOn", "SAPPwd"}, {"SAPLogOn", "Client"},
        {"Connect", "SysNum"},  {"Connect", "SystID"},  {"Connect", "AppSer"},
    };
    const std::string* texts[] = {&values.user,   &values.password, &values.client,
                                  &values.systemNumber, &values.system, &values.applicationServer};

    // A line break would end the value and start a new line of the file.
    for (std::size_t i = 0; i < 6; ++i) {
        if (texts[i]->find_first_of("\r\n") != std::string::npos) {
            result.error = std::string("The value of ") + keys[i].second + " must not contain a line break";
            return result;
        }
    }

    // Keep whatever else the file holds; only these six keys change.
    CSimpleIniA ini;
    ini.SetUnicode(true);
    ini.SetSpaces(false);
    std::error_code exists;
    if (std::filesystem::exists(path, exists)) {
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            result.error = systemError("Cannot read the settings file", path);
            return result;
        }
        std::stringstream content;
        content << in.rdbuf();
        if (ini.LoadData(content.str()) < 0) {
            result.error = "Cannot read the settings file \"" + path + "\"";
            return result;
        }
    }
    for (std::size_t i = 0; i < 6; ++i) ini.SetValue(keys[i].first, keys[i].second, texts[i]->c_str());

    std::string data;
    if (ini.Save(data) < 0) {
        result.error = "Cannot prepare the settings for \"" + path + "\"";
        return result;
    }

    // The file is either the old one or the new one, never half-written. It
    // holds the password: a new file is readable by its owner only.
    const FileWrite written = writeFileAtomically(path, data, S_IRUSR | S_IWUSR);
    result.ok = written.ok;
    result.error = written.error;
    return result;
}

bool settingsComplete(const LogonValues& values) {
    for (const std::string* text : {&values.user, &values.password, &values.systemNumber, &values.system,
                                    &values.applicationServer, &values.client})
        if (trimmed(*text).empty()) return false;
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
    return props;
}

}  // namespace orvex::sap
