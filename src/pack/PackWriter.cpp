#include "pack/PackWriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <utility>

#include "pack/Pack.h"

namespace {

bool ReadWholeFile(const std::string& path, std::string& data, int& error) {
    FILE* in = std::fopen(path.c_str(), "rb");
    if (!in) {
        error = errno;
        return false;
    }
    char buffer[65536];
    std::size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, in)) > 0) data.append(buffer, count);
    error = std::ferror(in) ? errno : 0;
    std::fclose(in);
    return error == 0;
}

// Writes all of `bytes`; 0, or the system's reason.
int WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return written < 0 ? errno : ENOSPC;
        done += static_cast<std::size_t>(written);
    }
    return 0;
}

}  // namespace

std::string PackWriter::NameProblem(const std::string& name) const {
    if (name.empty()) return "an entry name is empty";
    if (name.size() >= sizeof(PackEntry::name)) return "entry name '" + name + "' is longer than 15 characters";
    for (unsigned char c : name) {
        if (std::isspace(c)) return "entry name '" + name + "' contains white space";
    }
    for (const Entry& entry : entries) {
        if (entry.name == name) return "entry name '" + name + "' is given twice";
    }
    return "";
}

bool PackWriter::Add(const std::string& name, std::string bytes, std::string& error) {
    error = NameProblem(name);
    if (!error.empty()) return false;
    // The reader's offsets are 32-bit, so the whole pack must stay within that
    // range: the count line, then per entry its header line, its data and its
    // separator.
    const long long added = name.size() + std::to_string(bytes.size()).size() + 2 + bytes.size() + 1;
    const long long packSize = std::to_string(entries.size() + 1).size() + 1 + entryBytes + added;
    if (packSize > std::numeric_limits<std::int32_t>::max()) {
        error = "the pack would be larger than 2 GiB";
        return false;
    }
    entryBytes += added;
    entries.push_back({name, std::move(bytes)});
    return true;
}

bool PackWriter::AddFile(const std::string& name, const std::string& path, std::string& error) {
    // The name first, so that a bad name is told before its file is read.
    error = NameProblem(name);
    if (!error.empty()) return false;
    std::string bytes;
    int readError = 0;
    if (!ReadWholeFile(path, bytes, readError)) {
        error = "cannot read '" + path + "': " + std::strerror(readError);
        return false;
    }
    return Add(name, std::move(bytes), error);
}

bool PackWriter::Write(const std::string& path, std::string& error) const {
    // Written beside the target and renamed into place, so that a failure
    // never leaves a half-written pack under its name. The new file must not
    // exist yet and is never reached through a link: a file or link planted at
    // its name is neither followed nor overwritten.
    const std::string tempPath = path + ".tmp" + std::to_string(getpid());
    const int fd = open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = "cannot create '" + tempPath + "': " + std::strerror(errno);
        return false;
    }
    std::string header = std::to_string(entries.size()) + "\n";
    for (const Entry& entry : entries) header += entry.name + " " + std::to_string(entry.bytes.size()) + "\n";
    int failure = WriteAll(fd, header);
    for (const Entry& entry : entries) {
        if (failure == 0) failure = WriteAll(fd, entry.bytes);
        if (failure == 0) failure = WriteAll(fd, "\n");
    }
    // A failed close can mean the written bytes never reached the disk.
    if (close(fd) != 0 && failure == 0) failure = errno;
    if (failure == 0 && std::rename(tempPath.c_str(), path.c_str()) != 0) failure = errno;
    if (failure == 0) return true;
    unlink(tempPath.c_str());
    error = "cannot write '" + path + "': " + std::strerror(failure);
    return false;
}
