#include "sap/Settings.h"

#include "common/platform/AtomicFile.h"
#include "common/Text.h"
#include "common/platform/Files.h"

// UTF-8 text passes through unchanged; no conversion library needed.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string_view>

namespace orvex::sap {

// The sandbox settings, compiled in from the sandbox's demo settings file.
extern const char kSandboxSettingsIni[];

namespace {

constexpr std::size_t kValueLimit = 255;  // a 256-character buffer with its terminator
constexpr const char* kKeyringPlace = "keyring";  // SAPLogOn/PasswordIn

std::string systemError(const std::string& what, const std::string& path) {
    return what + " \"" + path + "\": " + std::strerror(errno);
}

}  // namespace

std::string settingsFilePath() {
    const std::string beside = programDirectory() + "/Quaylin.ini";
    std::error_code ec;
    // Whatever is there, even a link to nothing, is the settings file: reading
    // it says what is wrong instead of another file being used unannounced.
    if (std::filesystem::symlink_status(beside, ec).type() != std::filesystem::file_type::not_found) return beside;
    return userConfigFolder() + "/Quaylin.ini";
}

Status createSandboxSettings(const std::string& path) {
    std::error_code ec;
    // Anything at the path is left to reading: a link to nothing is not
    // followed to create its target.
    if (std::filesystem::symlink_status(path, ec).type() != std::filesystem::file_type::not_found) return {};
    if (Status made = makePrivateFolder(std::filesystem::path(path).parent_path().string()); !made) return made;
    // Two programs starting together both write the same text: either file is the whole one.
    return writeFileAtomically(path, kSandboxSettingsIni, platform::kPrivateFile);
}

namespace {

const char* kindOf(mode_t mode) {
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    if (S_ISSOCK(mode)) return "a socket";
    return "no regular file";
}

Failure unreadable(const std::string& path, const std::string& why) {
    return failure(FailureKind::File, "the settings file \"" + path + "\" cannot be read: " + why);
}

std::string valueOf(const CSimpleIniA& ini, const char* section, const char* key) {
    const char* value = ini.GetValue(section, key, nullptr);
    if (!value) return {};
    // The value as a profile read gives it: at most 255 characters, then
    // without leading and trailing blanks.
    return std::string(text::trim(text::prefix(text::trim(value), kValueLimit)));
}

// The file's values; the password as the file holds it.
LogonValues valuesOf(const CSimpleIniA& ini) {
    LogonValues values;
    values.user = valueOf(ini, "SAPLogOn", "SAPUid");
    values.password = valueOf(ini, "SAPLogOn", "SAPPwd");
    values.client = valueOf(ini, "SAPLogOn", "Client");
    values.systemNumber = valueOf(ini, "Connect", "SysNum");
    values.system = valueOf(ini, "Connect", "SystID");
    values.applicationServer = valueOf(ini, "Connect", "AppSer");
    values.tls.caFile = valueOf(ini, "TLS", "CAFile");
    values.tls.clientCertificate = valueOf(ini, "TLS", "ClientCertificate");
    values.tls.clientKey = valueOf(ini, "TLS", "ClientKey");
    return values;
}

// The file leaves the password to the keyring: it says so and holds none.
bool passwordInKeyring(const CSimpleIniA& ini) {
    return !ini.GetValue("SAPLogOn", "SAPPwd", nullptr) && valueOf(ini, "SAPLogOn", "PasswordIn") == kKeyringPlace;
}

Result<CSimpleIniA*> loaded(const std::string& path, CSimpleIniA& ini) {
    ini.SetUnicode(true);
    const Result<std::optional<std::string>> content = readSettingsFile(path);
    if (!content) return content.failure();
    if (*content && ini.LoadData(**content) < 0) return unreadable(path, "it is no INI file");
    return &ini;
}

}  // namespace

Result<std::optional<std::string>> readSettingsFile(const std::string& path) {
    // Non-blocking, so that a FIFO put at the path is refused, not waited on.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        const int error = errno;
        struct stat link {};
        if (error == ENOENT && ::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
            std::error_code ec;
            const std::string target = std::filesystem::read_symlink(path, ec).string();
            return failure(FailureKind::File,
                           "the settings file \"" + path + "\" is a link to \"" + target + "\", which does not exist");
        }
        if (error == ENOENT) return std::optional<std::string>();
        return unreadable(path, std::strerror(error));
    }
    struct stat st {};
    const bool known = ::fstat(fd, &st) == 0;
    if (!known || !S_ISREG(st.st_mode)) {
        const std::string why =
            known ? std::string("it is ") + kindOf(st.st_mode) + ", not a regular file" : std::strerror(errno);
        ::close(fd);
        return unreadable(path, why);
    }
    std::string content;
    char buffer[8192];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            return unreadable(path, std::strerror(error));
        }
        if (n == 0) break;
        content.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return std::optional<std::string>(std::move(content));
}

std::string readSettingsValue(const std::string& path, const std::string& section, const std::string& key) {
    CSimpleIniA ini;
    if (!loaded(path, ini)) return {};
    return valueOf(ini, section.c_str(), key.c_str());
}

PasswordKey passwordKey(const LogonValues& values) {
    return {values.user, values.client, values.system, values.applicationServer};
}

Result<SettingsRead> readSettings(const std::string& path, PasswordStore& store) {
    CSimpleIniA ini;
    if (auto read = loaded(path, ini); !read) return read.failure();
    SettingsRead read{valuesOf(ini), {}};
    if (!passwordInKeyring(ini)) return read;
    read.values.passwordPlace = PasswordPlace::Keyring;
    const PasswordKey key = passwordKey(read.values);
    const Result<std::optional<std::string>> kept = store.lookup(key);
    if (!kept)
        read.passwordProblem = kept.failure().text();
    else if (!*kept)
        read.passwordProblem = "The desktop keyring holds no password for " + key.user + ", client " + key.client +
                               " of " + key.system + " (" + key.applicationServer + ")";
    else
        read.values.password = std::string(text::trim(text::prefix(text::trim(**kept), kValueLimit)));
    return read;
}

Result<SettingsRead> readSettings(const std::string& path) { return readSettings(path, passwordStore()); }

LogonValues readLogonValues(const std::string& path) {
    Result<SettingsRead> read = readSettings(path);
    return read ? read->values : LogonValues{};
}

Result<SettingsWritten> writeLogonValues(const std::string& path, const LogonValues& values) {
    return writeLogonValues(path, values, passwordStore());
}

Result<SettingsWritten> writeLogonValues(const std::string& path, const LogonValues& values, PasswordStore& store) {
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

    // Keep whatever else the file holds; only these keys change.
    CSimpleIniA ini;
    if (auto read = loaded(path, ini); !read) return read.failure();
    ini.SetSpaces(false);
    // The keyring entry the file points to now, to be forgotten once the file points elsewhere.
    std::optional<PasswordKey> kept;
    if (passwordInKeyring(ini)) kept = passwordKey(valuesOf(ini));

    SettingsWritten outcome;
    const PasswordKey key = passwordKey(values);
    // No password typed: the file keeps pointing to the keyring, which is not
    // touched (one that could not give the password must not lose it now).
    const bool untouched = values.passwordPlace == PasswordPlace::Keyring && values.password.empty();
    if (untouched) {
        outcome.passwordPlace = PasswordPlace::Keyring;
    } else if (values.passwordPlace == PasswordPlace::Keyring) {
        if (Status stored = store.store(key, values.password); stored)
            outcome.passwordPlace = PasswordPlace::Keyring;
        else
            outcome.keyringProblem = stored.failure().text();
    }
    const bool inFile = outcome.passwordPlace == PasswordPlace::File;
    for (std::size_t i = 0; i < 6; ++i) {
        if (i == 1 && !inFile)
            ini.Delete(keys[i].first, keys[i].second, true);
        else
            ini.SetValue(keys[i].first, keys[i].second, texts[i]->c_str());
    }
    if (inFile)
        ini.Delete("SAPLogOn", "PasswordIn", true);
    else
        ini.SetValue("SAPLogOn", "PasswordIn", kKeyringPlace);
    // Files for TLS only where the user named one: older files stay as they were.
    for (const auto& [tlsKey, text] : tlsKeys) {
        if (!text::blank(*text))
            ini.SetValue("TLS", tlsKey, text->c_str());
        else
            ini.Delete("TLS", tlsKey, true);
    }

    std::string data;
    if (ini.Save(data) < 0) return failure(FailureKind::File, "Cannot prepare the settings for \"" + path + "\"");

    // The file is either the old one or the new one, never half-written. It
    // holds the password: a new file is readable by its owner only, and so
    // becomes an old one others could read.
    if (!inFile || values.password.empty()) {
        if (Status written = writeFileAtomically(path, data, platform::kPrivateFile); !written) {
            // The old file stays: an entry made for it alone would be left over.
            if (!untouched && (!kept || *kept != key)) (void)store.remove(key);
            return written.failure();
        }
    } else {
        const Result<bool> written = writePrivateFileAtomically(path, data);
        if (!written) return written.failure();
        outcome.tightened = *written;
    }
    // An entry nothing points to any more goes; one the keyring will not let
    // go of stays, harmless.
    if (!untouched && kept && (inFile || *kept != key)) (void)store.remove(*kept);
    return outcome;
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
