#include "common/platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace orvex {

namespace {

Failure failed(const std::string& path, const std::string& what, int error) {
    return failure(FailureKind::File, path + ": " + what + ": " + std::strerror(error));
}

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// The file a write to `path` lands in: symbolic links followed, as many
// hops as the system allows in a path. Returns false with errno set.
bool resolveLinks(std::string path, std::string& target) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (lstat(path.c_str(), &st) != 0) {
            if (errno != ENOENT) return false;
            target = path;  // a new file
            return true;
        }
        if (!S_ISLNK(st.st_mode)) {
            target = path;
            return true;
        }
        std::string link(PATH_MAX, '\0');
        const ssize_t n = readlink(path.c_str(), link.data(), link.size());
        if (n < 0) return false;
        link.resize(static_cast<std::size_t>(n));
        path = link.front() == '/' ? link : folderOf(path) + "/" + link;
    }
    errno = ELOOP;
    return false;
}

// The process's umask, read without changing it (umask() itself cannot be
// read without being set, which races with other threads creating files).
mode_t currentUmask() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("Umask:", 0) == 0) return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
    return 022;
}

bool readAll(int fd, std::string& content) {
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return true;
        content.append(buffer, static_cast<std::size_t>(n));
    }
}

bool writeAll(int fd, std::string_view content) {
    while (!content.empty()) {
        const ssize_t n = write(fd, content.data(), content.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        content.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// How an existing file's mode is treated when it is replaced.
enum class ExistingMode {
    Keep,        // its permission bits stay
    KeepPrivate, // they stay, unless group or others may read: then newFileMode
};

struct Replacement {
    int folder;                // descriptor of the folder holding the file
    std::string name;          // the file's name in the folder
    std::string shownPath;     // the path failures name
    mode_t newFileMode;
    ExistingMode existing = ExistingMode::Keep;
    bool refuseLink = false;   // a link at `name` is refused (else it was resolved before)
};

Failure isALink(const std::string& path) {
    return failure(FailureKind::File, path + ": cannot write: it is a symbolic link, and links inside the folder "
                                             "are not followed");
}

// A temporary file beside the target, created exclusively under a random
// name, so nothing planted there is followed or overwritten.
int createTemporary(int folder, const std::string& name, std::string& tempName) {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        unsigned char random[6];
        if (getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) return -1;
        tempName = "." + name + ".";
        for (unsigned char r : random) tempName += kLetters[r % (sizeof kLetters - 1)];
        const int fd = openat(folder, tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

// Writes the file through a temporary beside it, renamed over it, then
// flushes the folder. Sets `tightened` when a readable private file was closed.
Status replace(const Replacement& r, std::string_view content, bool* tightened = nullptr) {
    const std::string& path = r.shownPath;
    struct stat existing {};
    const bool exists = fstatat(r.folder, r.name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0;
    if (!exists && errno != ENOENT) return failed(path, "cannot write", errno);
    if (exists && S_ISLNK(existing.st_mode) && r.refuseLink) return isALink(path);
    if (exists && S_ISDIR(existing.st_mode)) return failed(path, "cannot write", EISDIR);
    if (exists && !S_ISREG(existing.st_mode)) return failure(FailureKind::File, path + ": cannot write: not a regular file");

    std::string temp;
    const int fd = createTemporary(r.folder, r.name, temp);
    if (fd < 0) return failed(path, "cannot write", errno);
    auto abandon = [&](const char* what) {
        const int error = errno;
        close(fd);
        unlinkat(r.folder, temp.c_str(), 0);
        return failed(path, what, error);
    };

    mode_t mode = r.newFileMode & ~currentUmask() & 07777;
    if (exists) {
        // The owner is kept where the process may set it (its own files, or
        // as root); elsewhere the file becomes the writer's, as any editor's
        // save makes it. The permission bits are what protect the contents.
        [[maybe_unused]] const int owned = fchown(fd, existing.st_uid, existing.st_gid);
        mode = existing.st_mode & 07777;
        if (r.existing == ExistingMode::KeepPrivate && (mode & (S_IRGRP | S_IROTH))) {
            mode = r.newFileMode & 07777;
            if (tightened) *tightened = true;
        }
    }
    if (fchmod(fd, mode) != 0) return abandon("cannot write");
    if (!writeAll(fd, content) || fsync(fd) != 0) return abandon("cannot write");
    if (close(fd) != 0) {
        const int error = errno;
        unlinkat(r.folder, temp.c_str(), 0);
        return failed(path, "cannot write", error);
    }
    if (renameat(r.folder, temp.c_str(), r.folder, r.name.c_str()) != 0) {
        const int error = errno;
        unlinkat(r.folder, temp.c_str(), 0);
        return failed(path, "cannot replace", error);
    }

    // The rename itself reaches the disk only with its folder.
    if (fsync(r.folder) != 0 && errno != EINVAL)  // EINVAL: the file system has nothing to flush
        return failed(path, "written, but its folder cannot be flushed", errno);
    return {};
}

// writeFileAtomically and writePrivateFileAtomically: links at `path` followed.
Status replaceFollowingLinks(const std::string& path, std::string_view content, mode_t newFileMode,
                             ExistingMode existing, bool* tightened) {
    std::string target;
    if (!resolveLinks(path, target)) return failed(path, "cannot write", errno);
    const std::string folder = folderOf(target);
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return failed(path, "cannot write", errno);
    Replacement r{dir, target.substr(target.rfind('/') + 1), path, newFileMode, existing, false};
    const Status written = replace(r, content, tightened);
    close(dir);
    return written;
}

// `path` without trailing slashes ("/" stays), so that O_NOFOLLOW sees its last component.
std::string withoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

}  // namespace

Status writeFileAtomically(const std::string& path, std::string_view content, unsigned newFileMode) {
    return replaceFollowingLinks(path, content, newFileMode, ExistingMode::Keep, nullptr);
}

Result<bool> writePrivateFileAtomically(const std::string& path, std::string_view content) {
    bool tightened = false;
    if (Status s = replaceFollowingLinks(path, content, S_IRUSR | S_IWUSR, ExistingMode::KeepPrivate, &tightened); !s)
        return s.failure();
    return tightened;
}

Result<LinkFreeFolder> LinkFreeFolder::open(const std::string& given) {
    const std::string path = withoutTrailingSlash(given);
    std::error_code ec;
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) {
        if (errno != ENOENT) return failed(path, "cannot open the folder", errno);
        std::filesystem::create_directories(path, ec);
        if (ec) return failure(FailureKind::File, path + ": cannot create the folder: " + ec.message());
    } else if (S_ISLNK(st.st_mode)) {
        return failure(FailureKind::File, path + ": the folder is a symbolic link; name the folder it points to");
    } else if (!S_ISDIR(st.st_mode)) {
        return failed(path, "cannot create the folder", EEXIST);
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return failed(path, "cannot open the folder", errno);
    return LinkFreeFolder(fd, path);
}

Result<LinkFreeFolder> LinkFreeFolder::subfolder(const std::string& relative) const {
    const int self = fcntl(fd_, F_DUPFD_CLOEXEC, 0);
    if (self < 0) return failed(path_, "cannot open the folder", errno);
    LinkFreeFolder current(self, path_);
    std::size_t begin = 0;
    while (begin <= relative.size()) {
        std::size_t end = relative.find('/', begin);
        if (end == std::string::npos) end = relative.size();
        const std::string part = relative.substr(begin, end - begin);
        begin = end + 1;
        if (part.empty() || part == ".") continue;
        const std::string partPath = current.pathOf(part);
        if (part == "..") return failure(FailureKind::File, partPath + ": a folder outside the repository");
        if (mkdirat(current.fd_, part.c_str(), 0777) != 0 && errno != EEXIST)
            return failure(FailureKind::File, partPath + ": cannot create the folder: " + std::strerror(errno));
        struct stat st {};
        if (fstatat(current.fd_, part.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))
            return failure(FailureKind::File, partPath + ": the folder is a symbolic link, and links inside the "
                                                         "folder are not followed");
        const int fd = openat(current.fd_, part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) return failed(partPath, "cannot open the folder", errno);
        current = LinkFreeFolder(fd, partPath);
    }
    return current;
}

Result<bool> LinkFreeFolder::holds(const std::string& name) const {
    struct stat st {};
    if (fstatat(fd_, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT) return false;
        return failed(pathOf(name), "cannot read", errno);
    }
    if (S_ISLNK(st.st_mode)) return isALink(pathOf(name));
    return true;
}

Result<std::string> LinkFreeFolder::read(const std::string& name) const {
    const int fd = openat(fd_, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ELOOP) return isALink(pathOf(name));
        return failed(pathOf(name), "cannot read", errno);
    }
    std::string content;
    const bool whole = readAll(fd, content);
    const int error = errno;
    close(fd);
    if (!whole) return failed(pathOf(name), "cannot read", error);
    return content;
}

Status LinkFreeFolder::write(const std::string& name, std::string_view content, unsigned newFileMode) const {
    return replace(Replacement{fd_, name, pathOf(name), newFileMode, ExistingMode::Keep, true}, content);
}

std::string LinkFreeFolder::pathOf(const std::string& name) const {
    return path_ == "/" ? "/" + name : path_ + "/" + name;
}

LinkFreeFolder::LinkFreeFolder(LinkFreeFolder&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)) {}

LinkFreeFolder& LinkFreeFolder::operator=(LinkFreeFolder&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        path_ = std::move(other.path_);
    }
    return *this;
}

LinkFreeFolder::~LinkFreeFolder() {
    if (fd_ >= 0) close(fd_);
}

}  // namespace orvex
