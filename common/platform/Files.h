#pragma once
// File-system calls that differ between operating systems: private folders
// and files, access checks and the lock another process holds on a file.
#include <string>

#include "common/Failure.h"

namespace orvex::platform {

// Permission bits of a new file: readable and writable by the owner only,
// or also readable by everyone.
inline constexpr unsigned kPrivateFile = 0600;
inline constexpr unsigned kSharedFile = 0644;

// Creates `folder` and any missing parents, each new one 0700.
Status makePrivateFolder(const std::string& folder);
// Creates `path` as an empty file readable by its owner only, unless it
// exists already (then it is left as it is).
Status createPrivateFile(const std::string& path);
// Whether this user may write into the folder / read the file.
bool canWrite(const std::string& folder);
bool canRead(const std::string& file);
// The id of another process holding a lock on the bytes [offset, offset +
// length) of the file; 0 when none does or the file cannot be opened.
long lockHolder(const std::string& path, long long offset, long long length);

}  // namespace orvex::platform
