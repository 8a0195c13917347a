#pragma once
// Replacing a file's contents in one step, for the settings file, design
// files and generated source: a reader sees the old file or the new one,
// never a part of either, and a failed write leaves the old file as it was.
#include <sys/types.h>

#include <string>
#include <string_view>

#include "Failure.h"

namespace orvex {

// Writes `content` to `path` through a temporary file with a unique name in
// the target's folder (created exclusively, so nothing planted there is
// followed or overwritten), flushed to disk, then renamed over the target;
// the folder is flushed after the rename. Two writers of one target never
// share a temporary file: the last rename wins, each file whole.
//
// - An existing target keeps its permission bits (and its owner where the
//   process may set it). A new file gets `newFileMode` less the umask.
// - A symbolic link at `path` is followed: the file it points to is replaced
//   (created when missing) and the link stays a link.
// - A target that is neither a regular file nor missing (a folder, a device)
//   is refused.
// On failure no temporary file is left behind, and the failure (kind File)
// reads "PATH: cannot write: REASON" ("cannot replace" when the rename failed).
Status writeFileAtomically(const std::string& path, std::string_view content, mode_t newFileMode);

}  // namespace orvex
