#include "common/platform/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace orvex::platform {

namespace {
Failure systemFailure(const std::string& what, const std::string& path) {
    return failure(FailureKind::File, what + " \"" + path + "\": " + std::strerror(errno));
}
}  // namespace

Status makePrivateFolder(const std::string& folder) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::is_directory(folder, ec)) return {};
    const fs::path parent = fs::path(folder).parent_path();
    if (!parent.empty() && parent != fs::path(folder))
        if (Status made = makePrivateFolder(parent.string()); !made) return made;
    if (mkdir(folder.c_str(), S_IRWXU) != 0 && errno != EEXIST) return systemFailure("Cannot create the folder", folder);
    return {};
}

Status createPrivateFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd >= 0) ::close(fd);
    else if (errno != EEXIST) return failure(FailureKind::File, std::strerror(errno));
    return {};
}

bool canWrite(const std::string& folder) { return access(folder.c_str(), W_OK) == 0; }
bool canRead(const std::string& file) { return access(file.c_str(), R_OK) == 0; }

long lockHolder(const std::string& path, long long offset, long long length) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    struct flock probe {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    probe.l_start = static_cast<off_t>(offset);
    probe.l_len = static_cast<off_t>(length);
    const bool held = fcntl(fd, F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
    ::close(fd);
    return held ? static_cast<long>(probe.l_pid) : 0;
}

}  // namespace orvex::platform
