#include "pack/PackWriter.h"

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string_view>
#include <utility>

#include "pack/Pack.h"
#include "platform/core/AtomicFile.h"

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
    const std::uint64_t added = name.size() + std::to_string(bytes.size()).size() + 2 + bytes.size() + 1;
    const std::uint64_t packSize = std::to_string(entries.size() + 1).size() + 1 + entryBytes + added;
    if (packSize > std::uint64_t{std::numeric_limits<std::int32_t>::max()}) {
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
    std::string header = std::to_string(entries.size()) + "\n";
    for (const Entry& entry : entries) header += entry.name + " " + std::to_string(entry.bytes.size()) + "\n";
    std::vector<std::string_view> pieces{header};
    for (const Entry& entry : entries) {
        pieces.push_back(entry.bytes);
        pieces.push_back("\n");
    }
    return WriteFileAtomically(path, pieces, error);
}
