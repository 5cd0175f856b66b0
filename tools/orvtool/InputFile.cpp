#include "orvtool/InputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>

#include "pack/TempDirectory.h"

namespace {

// The largest input copied: the largest pack the format holds (its offsets are
// 32-bit), far more than any level or model.
constexpr long long kMaxCopy = std::numeric_limits<std::int32_t>::max();

// A new file of the temporary folder that has no name, so that nothing stays
// behind however the run ends: O_TMPFILE, or where the file system lacks it a
// named file unlinked at once. -1 with errno set when neither can be made.
int NamelessFile() {
    const std::string folder = TempDirectory();
    const int fd = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR)) return fd;
    std::string name = folder + "/orvtool-XXXXXX";
    const int named = mkostemp(name.data(), O_CLOEXEC);
    if (named >= 0) unlink(name.c_str());
    return named;
}

}  // namespace

InputFile::InputFile(const std::string& given) {
    struct stat info;
    if (stat(given.c_str(), &info) != 0 || S_ISREG(info.st_mode)) {
        path = given;
        return;
    }
    FILE* in = std::fopen(given.c_str(), "rb");
    if (!in) {
        error = "cannot read '" + given + "': " + std::strerror(errno);
        return;
    }
    copy = NamelessFile();
    if (copy < 0) {
        error = "cannot make a temporary copy of '" + given + "': " + std::strerror(errno);
        std::fclose(in);
        return;
    }
    char buffer[65536];
    std::size_t count;
    long long copied = 0;
    int readError = 0, writeError = 0;
    while (!writeError && copied <= kMaxCopy && (count = std::fread(buffer, 1, sizeof buffer, in)) > 0) {
        if (write(copy, buffer, count) != static_cast<ssize_t>(count)) writeError = errno ? errno : EIO;
        copied += static_cast<long long>(count);
    }
    if (std::ferror(in)) readError = errno;
    std::fclose(in);
    if (readError) {
        error = "cannot read '" + given + "': " + std::strerror(readError);
    } else if (writeError) {
        error = "cannot make a temporary copy of '" + given + "': " + std::strerror(writeError);
    } else if (copied > kMaxCopy) {
        error = "'" + given + "' holds more than 2 GiB, more than any pack, level or model";
    } else {
        // The readers open files by name: the copy's is its descriptor's.
        path = "/proc/self/fd/" + std::to_string(copy);
    }
}

InputFile::~InputFile() {
    if (copy >= 0) close(copy);
}
