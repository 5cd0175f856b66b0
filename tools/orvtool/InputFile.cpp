#include "orvtool/InputFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "pack/TempDirectory.h"

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
    std::string name = TempDirectory() + "/orvtool-XXXXXX";
    const int fd = mkstemp(name.data());
    if (fd < 0) {
        error = "cannot make a temporary copy of '" + given + "': " + std::strerror(errno);
        std::fclose(in);
        return;
    }
    copy = name;
    char buffer[65536];
    std::size_t count;
    int readError = 0, writeError = 0;
    while (!writeError && (count = std::fread(buffer, 1, sizeof buffer, in)) > 0)
        if (write(fd, buffer, count) != static_cast<ssize_t>(count)) writeError = errno ? errno : EIO;
    if (std::ferror(in)) readError = errno;
    std::fclose(in);
    if (close(fd) != 0 && !writeError) writeError = errno;
    if (readError) {
        error = "cannot read '" + given + "': " + std::strerror(readError);
    } else if (writeError) {
        error = "cannot make a temporary copy of '" + given + "': " + std::strerror(writeError);
    } else {
        path = copy;
    }
}

InputFile::~InputFile() {
    if (!copy.empty()) std::remove(copy.c_str());
}
