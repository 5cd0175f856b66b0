#include "pack/RunDirectory.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "pack/ExtraAssets.h"
#include "pack/Pack.h"
#include "pack/TempDirectory.h"
#include "pack/UnpackTable.h"
#include "platform/core/Seam.h"

namespace {

constexpr const char* kRunDirectoryPrefix = "orvanthelix-";
// The mark of a run directory: a file the engine writes into it before
// anything is unpacked there. The clean-up of killed runs touches only
// directories that hold it with exactly this text, whatever their name.
constexpr const char* kMarkFile = ".orvanthelix-run";
constexpr std::string_view kMarkText =
    "A run directory of orvanthelix, removed when its run ends or by a later start.\n";
// The list of the extra entries' files (pack/ExtraAssets.h), written before
// they are unpacked: the clean-up of a killed run removes the files it names
// (those an extra entry can be unpacked to only) and no other.
constexpr const char* kExtraListFile = ".orvanthelix-extras";

std::string startDirectory;
std::string runDirectory;  // empty while there is none
// The run directory, held open for the whole run and locked where the system
// allows it. The system drops the lock when the process ends however it ends,
// which is how a later start tells a directory whose run is gone from one
// whose run still lives.
int runDirectoryFd = -1;
std::vector<ExtraAsset> extras;  // those this run unpacks

// "orvanthelix-" and the six characters mkdtemp put in.
bool IsRunDirectoryName(const std::string& name) {
    return name.size() == std::string(kRunDirectoryPrefix).size() + 6 && name.starts_with(kRunDirectoryPrefix);
}

// The status of the directory open as FD and called NAME, for the checks that
// it is this user's own. A directory of another user's, or one open to
// others, cannot be made by the tests' own user: they stand one in by arming
// "fstat.st_uid" or "fstat.st_mode" (with NAME for one directory).
bool StatDirectory(int fd, const std::string& name, struct stat& info) {
    if (fstat(fd, &info) != 0) return false;
    if (auto uid = SeamCall("fstat.st_uid", name)) info.st_uid = static_cast<uid_t>(*uid);
    if (auto mode = SeamCall("fstat.st_mode", name)) info.st_mode = static_cast<mode_t>(*mode);
    return true;
}

bool IsMine(int fd, const std::string& name) {
    struct stat info;
    return StatDirectory(fd, name, info) && info.st_uid == getuid();
}

// The first LIMIT + 1 bytes of the file NAME in the directory open as DIR,
// when it is a regular file of this user's; else "". Only reads (a FIFO of
// that name never blocks).
std::string ReadOwnFile(int dir, const char* name, std::size_t limit) {
    int fd = openat(dir, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return {};
    struct stat info;
    std::string text(limit + 1, '\0');
    ssize_t length = -1;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == getuid())
        length = read(fd, text.data(), text.size());
    close(fd);
    text.resize(std::max<ssize_t>(length, 0));
    return text;
}

// Whether the directory open as DIR holds the mark, a regular file of this
// user's with the mark's text.
bool HasMark(int dir) { return ReadOwnFile(dir, kMarkFile, kMarkText.size()) == kMarkText; }

// Removes the extra entries' files the list in the directory open as DIR
// names, then the list.
void RemoveListedExtras(int dir) {
    for (const std::string& file : ParseExtraFileList(ReadOwnFile(dir, kExtraListFile, kMaxExtraFileListSize)))
        unlinkat(dir, file.c_str(), 0);
    unlinkat(dir, kExtraListFile, 0);
}

// Writes a new file NAME holding TEXT into the directory open as DIR; 0, or
// the system's reason.
int WriteNewFile(int dir, const char* name, std::string_view text) {
    int fd = openat(dir, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return errno;
    const ssize_t written = write(fd, text.data(), text.size());
    int error = written < 0 ? errno : written != static_cast<ssize_t>(text.size()) ? ENOSPC : 0;
    if (close(fd) != 0 && error == 0) error = errno;
    return error;
}

// Removes the run directory open as DIR at PATH: the table's files, the mark,
// then the directory, which only goes when empty: a file of someone else's
// keeps it, and it keeps its mark too, so that a later start tries again.
void RemoveRunDirectory(int dir, const std::string& path) {
    RemoveListedExtras(dir);
    for (const auto& asset : kUnpackTable) unlinkat(dir, asset.file, 0);
    unlinkat(dir, kMarkFile, 0);
    if (rmdir(path.c_str()) != 0) WriteNewFile(dir, kMarkFile, kMarkText);
}

// Removes what runs that were killed (or crashed) left under BASE: in each
// marked directory of this user's that no live run holds locked, the table's
// files and the mark, then the directory itself when nothing else is in it.
void RemoveAbandonedRunDirectories(const std::string& base) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(base, error)) {
        if (!IsRunDirectoryName(entry.path().filename().string())) continue;
        int fd = open(entry.path().c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) continue;
        if (IsMine(fd, entry.path().filename().string()) && HasMark(fd) && flock(fd, LOCK_EX | LOCK_NB) == 0)
            RemoveRunDirectory(fd, entry.path());
        close(fd);
    }
}

// Makes a new run directory under BASE, locks it where the system allows,
// marks it and enters it. Returns 0, or the system's reason for failing (then
// nothing of it is left).
int MakeRunDirectory(const std::string& base, bool& locked) {
    std::string path = base + "/" + kRunDirectoryPrefix + "XXXXXX";
    if (!mkdtemp(path.data())) return errno;
    int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        rmdir(path.c_str());
        return error;
    }
    // Under a base others can write to without the sticky bit, the new
    // directory could have been swapped for someone else's before it was
    // opened: it is used only as this user's own and private, and left alone
    // otherwise.
    struct stat info;
    if (!StatDirectory(fd, std::filesystem::path(path).filename().string(), info) || !S_ISDIR(info.st_mode) ||
        info.st_uid != getuid() || (info.st_mode & 077) != 0) {
        close(fd);
        return EPERM;
    }
    // Locked before it is marked, so no other start ever finds it marked and
    // unlocked while this run lives. Some network file systems refuse the lock.
    locked = !SeamArmed("flock.Refused") && flock(fd, LOCK_EX | LOCK_NB) == 0;
    int error = WriteNewFile(fd, kMarkFile, kMarkText);
    if (error == 0 && fchdir(fd) != 0) error = errno;
    if (error != 0) {
        unlinkat(fd, kMarkFile, 0);
        close(fd);
        rmdir(path.c_str());
        return error;
    }
    runDirectory = path;
    runDirectoryFd = fd;
    return 0;
}

bool EnterRunDirectory() {
    char* start = getcwd(nullptr, 0);
    if (!start) return false;
    startDirectory = start;
    std::free(start);

    std::string base = TempDirectory();
    bool locked = false;
    int error = MakeRunDirectory(base, locked);
    if (error != 0 && base != "/tmp") {
        std::fprintf(stderr, "orvanthelix: TMPDIR \"%s\" cannot be used (%s); unpacking under /tmp instead.\n",
                     base.c_str(), std::strerror(error));
        base = "/tmp";
        error = MakeRunDirectory(base, locked);
    }
    if (error != 0) {
        std::fprintf(stderr, "orvanthelix: no run directory could be made in %s (%s); nothing is unpacked.\n",
                     base.c_str(), std::strerror(error));
        return false;
    }
    // A run that holds no lock cannot tell a live run's directory from a
    // killed one's, so it leaves them all alone.
    if (locked) RemoveAbandonedRunDirectories(base);
    return true;
}

// Opens the pack and finds its extra entries; a pack with an extra entry it
// refuses is closed again, so nothing of it is unpacked and the start fails at
// the level as without a pack, after one line on stderr naming the entry.
FILE* OpenPackAndFindExtras() {
    FILE* pack = OpenPack(kPackFileName);
    if (!pack) {
        // The level's box says only that the level could not be loaded; this
        // says which file was looked for, and where.
        std::error_code ignored;
        const std::string start = std::filesystem::current_path(ignored).string();
        if (std::filesystem::exists(kPackFileName, ignored))
            std::fprintf(stderr, "orvanthelix: the asset pack \"%s\" in %s cannot be read or is not a pack.\n",
                         kPackFileName, start.c_str());
        else
            std::fprintf(stderr, "orvanthelix: no asset pack \"%s\" in %s, the folder the program was started in.\n",
                         kPackFileName, start.c_str());
        return nullptr;
    }
    std::string problem;
    if (FindExtraAssets(extras, problem)) return pack;
    std::fprintf(stderr, "orvanthelix: %s; nothing is unpacked.\n", problem.c_str());
    ClosePack(pack);
    return nullptr;
}

}  // namespace

void UnpackAssets() {
    FILE* pack = OpenPackAndFindExtras();
    if (EnterRunDirectory()) {
        std::vector<ExtraAsset> files;
        for (const auto& asset : kUnpackTable) files.push_back({asset.entry, asset.file});
        // The list goes first, so a run killed while unpacking leaves no
        // extra file the clean-up does not know of.
        const int listError = extras.empty() ? 0 : WriteNewFile(runDirectoryFd, kExtraListFile, ExtraFileList(extras));
        if (listError == 0)
            files.insert(files.end(), extras.begin(), extras.end());
        else
            std::fprintf(stderr,
                         "orvanthelix: could not write %s/%s (%s); the level's extra images are not unpacked.\n",
                         runDirectory.c_str(), kExtraListFile, std::strerror(listError));
        bool told = false;
        for (const auto& [entry, file] : files) {
            int writeError = 0;
            if (ExtractPackEntry(pack, entry.c_str(), file.c_str(), &writeError) || writeError == 0 || told) continue;
            // The level's box would say only that the level could not be
            // loaded; this says why.
            std::fprintf(stderr, "orvanthelix: could not unpack %s to %s/%s: %s\n", file.c_str(), runDirectory.c_str(),
                         file.c_str(), std::strerror(writeError));
            told = true;
        }
    }
    ClosePack(pack);
}

void DeleteUnpackedAssets() {
    // Without a run directory nothing was extracted, and the current directory
    // is the user's own: nothing there is ours to delete.
    if (runDirectory.empty()) return;
    std::error_code ignored;  // the absolute path removes it from anywhere
    std::filesystem::current_path(startDirectory, ignored);
    RemoveRunDirectory(runDirectoryFd, runDirectory);
    extras.clear();
    close(runDirectoryFd);
    runDirectoryFd = -1;
    runDirectory.clear();
}
