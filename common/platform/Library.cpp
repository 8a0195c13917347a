#include "common/platform/Library.h"

#include <dlfcn.h>

namespace orvex::platform {

Result<void*> loadLibrary(const std::string& path, bool global) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | (global ? RTLD_GLOBAL : RTLD_LOCAL));
    if (handle) return handle;
    const char* error = dlerror();
    return failure(FailureKind::Other, error ? error : "");
}

void* librarySymbol(void* library, const char* name) {
    dlerror();
    return dlsym(library, name);
}

std::string libraryFileOf(const void* address) {
    Dl_info info{};
    if (dladdr(address, &info) && info.dli_fname) return info.dli_fname;
    return {};
}

}  // namespace orvex::platform
