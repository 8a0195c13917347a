#pragma once
// Shared libraries loaded at run time: the one place that calls the
// system's loader.
#include <string>

#include "common/Failure.h"

namespace orvex::platform {

// Loads the library at `path` (a bare name goes through the loader's
// search); `global` makes its symbols available to libraries loaded later.
// The failure's reason is the loader's message.
Result<void*> loadLibrary(const std::string& path, bool global);
// The address of `name` in a loaded library; null when it has none.
void* librarySymbol(void* library, const char* name);
// The file of the loaded library that holds `address`; "" when unknown.
std::string libraryFileOf(const void* address);

}  // namespace orvex::platform
