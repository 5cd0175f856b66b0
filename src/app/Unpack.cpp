#include "app/Unpack.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "pack/Pack.h"
#include "pack/TempDirectory.h"
#include "pack/UnpackTable.h"

namespace {

constexpr const char* kRunDirectoryPrefix = "orvanthelix-";

std::string startDirectory;
std::string runDirectory;  // empty while there is none
// The run directory, opened and locked for the whole run. The system drops
// the lock when the process ends however it ends, which is how a later start
// tells a directory whose run is gone from one whose run still lives.
int runDirectoryLock = -1;

// "orvanthelix-" and the six characters mkdtemp put in.
bool IsRunDirectoryName(const std::string& name) {
    return name.size() == std::string(kRunDirectoryPrefix).size() + 6 && name.starts_with(kRunDirectoryPrefix);
}

// Opens PATH as a directory of this user's (never through a link) and takes
// its lock without waiting; -1 when any of that fails.
int OpenAndLock(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat info;
    if (fstat(fd, &info) != 0 || info.st_uid != getuid() || flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Removes what runs that were killed (or crashed) left under BASE: the table's
// files in each run directory nobody holds, then the directory itself when
// nothing else is in it. A run still going, this user's or another's, holds
// its lock; directories not named as ours are never looked into.
void RemoveAbandonedRunDirectories(const std::string& base) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(base, error)) {
        const std::string name = entry.path().filename().string();
        if (!IsRunDirectoryName(name)) continue;
        int fd = OpenAndLock(entry.path().string());
        if (fd < 0) continue;
        for (const auto& asset : kUnpackTable) unlinkat(fd, asset.file, 0);
        rmdir(entry.path().c_str());
        close(fd);
    }
}

// Whether FD is still the directory at PATH: another start may have taken a
// new directory for abandoned and removed it before it was locked.
bool IsStillAt(int fd, const std::string& path) {
    struct stat held, named;
    return fstat(fd, &held) == 0 && stat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
           held.st_ino == named.st_ino;
}

bool EnterRunDirectory() {
    char* start = getcwd(nullptr, 0);
    if (!start) return false;
    startDirectory = start;
    std::free(start);

    const std::string base = TempDirectory();
    RemoveAbandonedRunDirectories(base);
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::string pattern = base + "/" + kRunDirectoryPrefix + "XXXXXX";
        if (!mkdtemp(pattern.data())) return false;
        int fd = OpenAndLock(pattern);
        if (fd >= 0 && IsStillAt(fd, pattern) && fchdir(fd) == 0) {
            runDirectory = pattern;
            runDirectoryLock = fd;
            return true;
        }
        if (fd >= 0) close(fd);
        rmdir(pattern.c_str());
    }
    return false;
}

}  // namespace

void UnpackAssets() {
    FILE* pack = OpenPack(kPackFileName);
    if (EnterRunDirectory()) {
        for (const auto& asset : kUnpackTable) ExtractPackEntry(pack, asset.entry, asset.file);
    }
    ClosePack(pack);
}

void DeleteUnpackedAssets() {
    // Without a run directory nothing was extracted, and the current directory
    // is the user's own: nothing there is ours to delete.
    if (runDirectory.empty()) return;
    for (const auto& asset : kUnpackTable) std::remove(asset.file);
    std::error_code ignored;  // the absolute path below removes it from anywhere
    std::filesystem::current_path(startDirectory, ignored);
    rmdir(runDirectory.c_str());  // only when empty: a stray file of another's stays
    close(runDirectoryLock);
    runDirectoryLock = -1;
    runDirectory.clear();
}
