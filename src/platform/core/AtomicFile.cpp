#include "platform/core/AtomicFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

namespace {

// Writes all of `bytes`; 0, or the system's reason.
int WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return written < 0 ? errno : ENOSPC;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return 0;
}

// Creates a new file beside `path` under a name nobody holds: first
// PATH.tmpPID, then PATH.tmpPID-RANDOM names until one is free. O_EXCL fails
// on any name taken, a dangling link included, and O_NOFOLLOW keeps a link
// from being opened; the kernel applies the umask to 0666. The descriptor, or
// -1 with errno set.
int CreateNewFile(const std::string& path, std::string& name) {
    name = path + ".tmp" + std::to_string(getpid());
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
        name = path + ".tmp" + std::to_string(getpid()) + "-" + std::to_string(random());
    }
    errno = EEXIST;
    return -1;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, const std::vector<std::string_view>& pieces, std::string& error) {
    std::string tempPath;
    const int fd = CreateNewFile(path, tempPath);
    if (fd < 0) {
        error = "cannot write '" + path + "': " + std::strerror(errno);
        return false;
    }
    int failure = 0;
    for (std::string_view piece : pieces) {
        if (failure == 0) failure = WriteAll(fd, piece);
    }
    // A failed close can mean the written bytes never reached the disk.
    if (close(fd) != 0 && failure == 0) failure = errno;
    if (failure == 0 && std::rename(tempPath.c_str(), path.c_str()) != 0) failure = errno;
    if (failure == 0) return true;
    unlink(tempPath.c_str());
    error = "cannot write '" + path + "': " + std::strerror(failure);
    return false;
}
