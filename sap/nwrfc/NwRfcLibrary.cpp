#include "sap/nwrfc/NwRfcLibrary.h"

#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>

#include "sap/nwrfc/Utf16.h"
#include "common/platform/Library.h"

namespace orvex::nwrfc {

namespace {

// The loader's message for a failed load, or `fallback` when it gave none.
std::string loaderError(const Failure& failed, const std::string& fallback) {
    return failed.reason.empty() ? fallback : failed.reason;
}

template <typename Fn>
bool resolve(void* handle, const char* name, Fn& target, std::string& missing) {
    target = reinterpret_cast<Fn>(platform::librarySymbol(handle, name));
    if (!target) {
        if (!missing.empty()) missing += ", ";
        missing += name;
    }
    return target != nullptr;
}

Failure notLoaded(std::string reason) { return failure(FailureKind::Other, std::move(reason)); }

LibraryLoad open(const std::string& path) {
    const std::filesystem::path file(path);
    if (file.has_parent_path()) {
        const auto ucum = file.parent_path() / "libsapucum.so";
        std::error_code ignored;
        if (std::filesystem::exists(ucum, ignored)) {
            if (auto loaded = platform::loadLibrary(ucum.string(), true); !loaded)
                return notLoaded("RFC library " + path + " not loaded: " +
                                 loaderError(loaded.failure(), "libsapucum.so could not be loaded"));
        }
    }
    auto loaded = platform::loadLibrary(path, false);
    if (!loaded)
        return notLoaded("RFC library " + path + " not loaded: " + loaderError(loaded.failure(), "unknown loader error"));
    void* handle = *loaded;
    auto lib = std::make_shared<NwRfcLibrary>();
    std::string missing;
    resolve(handle, "RfcOpenConnection", lib->openConnection, missing);
    resolve(handle, "RfcCloseConnection", lib->closeConnection, missing);
    resolve(handle, "RfcGetFunctionDesc", lib->getFunctionDesc, missing);
    resolve(handle, "RfcCreateFunction", lib->createFunction, missing);
    resolve(handle, "RfcDestroyFunction", lib->destroyFunction, missing);
    resolve(handle, "RfcInvoke", lib->invoke, missing);
    resolve(handle, "RfcSetChars", lib->setChars, missing);
    resolve(handle, "RfcGetChars", lib->getChars, missing);
    resolve(handle, "RfcGetTable", lib->getTable, missing);
    resolve(handle, "RfcAppendNewRow", lib->appendNewRow, missing);
    resolve(handle, "RfcGetRowCount", lib->getRowCount, missing);
    resolve(handle, "RfcMoveTo", lib->moveTo, missing);
    resolve(handle, "RfcDescribeType", lib->describeType, missing);
    resolve(handle, "RfcGetFieldCount", lib->getFieldCount, missing);
    resolve(handle, "RfcGetFieldDescByIndex", lib->getFieldDescByIndex, missing);
    resolve(handle, "RfcGetFieldDescByName", lib->getFieldDescByName, missing);
    resolve(handle, "RfcGetVersion", lib->getVersion, missing);
    std::string optional;  // an absent optional function is no reason to refuse the library
    resolve(handle, "RfcCancel", lib->cancel, optional);
    if (!missing.empty()) {
        // The handle stays open: closing a library that may have started
        // threads of its own is not worth the risk for a failed load.
        return notLoaded("RFC library " + path + " lacks " + missing);
    }
    lib->path = platform::libraryFileOf(reinterpret_cast<const void*>(lib->openConnection));
    if (lib->path.empty()) lib->path = path;
    unsigned major = 0, minor = 0, patch = 0;
    const SAP_UC* text = lib->getVersion(&major, &minor, &patch);
    std::u16string_view view = text ? std::u16string_view(text) : std::u16string_view();
    std::string version = toUtf8(view).value_or({});
    if (!version.empty()) version += ' ';
    version += "(" + std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(patch) + ")";
    lib->version = std::move(version);
    return std::shared_ptr<const NwRfcLibrary>(std::move(lib));
}

}  // namespace

std::string libraryLocation() {
    const char* home = std::getenv("SAPNWRFC_HOME");
    if (home && *home) return (std::filesystem::path(home) / "lib" / "libsapnwrfc.so").string();
    return "libsapnwrfc.so";
}

LibraryLoad loadLibrary(const std::string& path) {
    // A path with a folder that is not absolute would be taken from the
    // current folder, wherever the program was started: whatever library
    // lies there would run with the user's rights.
    if (path.find('/') != std::string::npos && !std::filesystem::path(path).is_absolute()) {
        return notLoaded("RFC library " + path + " not loaded: SAPNWRFC_HOME must be an absolute path");
    }
    // Tried once per location: asking again (the settings dialog does so as
    // the user types) finds the same answer without touching the loader.
    static std::mutex mutex;
    static std::map<std::string, LibraryLoad> tried;
    std::lock_guard lock(mutex);
    if (auto it = tried.find(path); it != tried.end()) return it->second;
    return tried.insert_or_assign(path, open(path)).first->second;
}

}  // namespace orvex::nwrfc
