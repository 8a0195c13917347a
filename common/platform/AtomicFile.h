#pragma once
// Replacing a file's contents in one step, for the settings file, design
// files and generated source: a reader sees the old file or the new one,
// never a part of either, and a failed write leaves the old file as it was.
#include <string>
#include <string_view>
#include <utility>

#include "common/Failure.h"

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
Status writeFileAtomically(const std::string& path, std::string_view content, unsigned newFileMode);

// As writeFileAtomically, for a file holding a secret (a password): a new
// file gets 0600 less the umask, and an existing one that group or others may
// read is tightened to 0600. True when it was tightened.
Result<bool> writePrivateFileAtomically(const std::string& path, std::string_view content);

// A folder into which files are written without going through any symbolic
// link: the folder itself, each folder below it and each file are refused
// when they are links (opened with O_NOFOLLOW, checked without following).
// The folders above it are taken as the user named them. Failures (kind File)
// name the path and why.
class LinkFreeFolder {
public:
    // Opens `path`, creating it (and missing parents) when absent.
    static Result<LinkFreeFolder> open(const std::string& path);
    // The folder `relative` below this one ("a/b"; "" and "." are this one),
    // each missing folder created.
    Result<LinkFreeFolder> subfolder(const std::string& relative) const;
    // Whether the folder holds an entry `name` that is no link; a link is refused.
    Result<bool> holds(const std::string& name) const;
    // The whole contents of the file `name`, which must be no link.
    Result<std::string> read(const std::string& name) const;
    // Replaces the file `name` as writeFileAtomically does, unless it is a link.
    Status write(const std::string& name, std::string_view content, unsigned newFileMode) const;
    // The folder's path as opened, for messages.
    const std::string& path() const { return path_; }
    std::string pathOf(const std::string& name) const;

    LinkFreeFolder(LinkFreeFolder&& other) noexcept;
    LinkFreeFolder& operator=(LinkFreeFolder&& other) noexcept;
    LinkFreeFolder(const LinkFreeFolder&) = delete;
    LinkFreeFolder& operator=(const LinkFreeFolder&) = delete;
    ~LinkFreeFolder();

private:
    LinkFreeFolder(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    int fd_ = -1;
    std::string path_;
};

}  // namespace orvex
