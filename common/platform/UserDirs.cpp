#include "common/platform/UserDirs.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace orvex::platform {

std::string programDirectory() {
    std::error_code error;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return std::filesystem::current_path(error).string();
    return exe.parent_path().string();
}

namespace {

std::string homeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir) return entry->pw_dir;
    return "/";
}

std::string userFolder(const char* variable, const char* fallback) {
    const char* value = std::getenv(variable);
    std::string base = value && *value == '/' ? std::string(value) : homeFolder() + "/" + fallback;
    return base + "/orvex";
}

}  // namespace

std::string userConfigFolder() { return userFolder("XDG_CONFIG_HOME", ".config"); }
std::string userDataFolder() { return userFolder("XDG_DATA_HOME", ".local/share"); }
std::string userStateFolder() { return userFolder("XDG_STATE_HOME", ".local/state"); }

std::string userName() {
    if (const passwd* pw = getpwuid(geteuid()); pw && pw->pw_name) return pw->pw_name;
    if (const char* user = std::getenv("USER")) return user;
    return {};
}

}  // namespace orvex::platform
