#include "AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

}  // namespace

Status writeFileAtomically(const std::string& path, std::string_view content, mode_t newFileMode) {
    std::string target;
    if (!resolveLinks(path, target)) return failed(path, "cannot write", errno);

    struct stat existing {};
    const bool exists = stat(target.c_str(), &existing) == 0;
    if (!exists && errno != ENOENT) return failed(path, "cannot write", errno);
    if (exists && S_ISDIR(existing.st_mode)) return failed(path, "cannot write", EISDIR);
    if (exists && !S_ISREG(existing.st_mode)) return failure(FailureKind::File, path + ": cannot write: not a regular file");

    // Hidden beside the target, on its file system, so the rename is atomic.
    const std::string folder = folderOf(target);
    std::string temp = folder + "/." + target.substr(target.rfind('/') + 1) + ".XXXXXX";
    const int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return failed(path, "cannot write", errno);
    auto abandon = [&](const char* what) {
        const int error = errno;
        close(fd);
        unlink(temp.c_str());
        return failed(path, what, error);
    };

    if (exists) {
        // The owner is kept where the process may set it (its own files, or
        // as root); elsewhere the file becomes the writer's, as any editor's
        // save makes it. The permission bits are what protect the contents.
        [[maybe_unused]] const int owned = fchown(fd, existing.st_uid, existing.st_gid);
        if (fchmod(fd, existing.st_mode & 07777) != 0) return abandon("cannot write");
    } else if (fchmod(fd, newFileMode & ~currentUmask() & 07777) != 0) {
        return abandon("cannot write");
    }
    if (!writeAll(fd, content) || fsync(fd) != 0) return abandon("cannot write");
    if (close(fd) != 0) {
        const int error = errno;
        unlink(temp.c_str());
        return failed(path, "cannot write", error);
    }
    if (rename(temp.c_str(), target.c_str()) != 0) {
        const int error = errno;
        unlink(temp.c_str());
        return failed(path, "cannot replace", error);
    }

    // The rename itself reaches the disk only with its folder.
    const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return failed(path, "written, but its folder cannot be flushed", errno);
    const bool flushed = fsync(dir) == 0 || errno == EINVAL;  // EINVAL: the file system has nothing to flush
    const int error = errno;
    close(dir);
    if (!flushed) return failed(path, "written, but its folder cannot be flushed", error);
    return {};
}

}  // namespace orvex
