// The pack writer: every pack orvtool makes is written here, in the canonical
// form that the reader (pack/Pack.h) takes back: the decimal entry count, one
// "NAME SIZE" line per entry (the last line feed is the header's separator),
// then each entry's data followed by a line feed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class PackWriter {
public:
    // Adds an entry holding `bytes`. False, with `error` set, when the reader
    // could not take the name back out (empty, longer than 15 characters,
    // white space, given before) or the pack would outgrow the reader's
    // 32-bit offsets; the entry is then not added.
    bool Add(const std::string& name, std::string bytes, std::string& error);

    // Adds an entry holding the bytes of the file at `path`, read now; false
    // also when it cannot be read.
    bool AddFile(const std::string& name, const std::string& path, std::string& error);

    // Writes the entries, in the order added, to `path` through
    // WriteFileAtomically (platform/core/AtomicFile.h): on failure whatever was
    // at `path` stays as it was, and `error` says why.
    bool Write(const std::string& path, std::string& error) const;

private:
    // Why the reader could not take `name` back out of the pack, or "".
    std::string NameProblem(const std::string& name) const;

    struct Entry {
        std::string name;
        std::string bytes;
    };
    std::vector<Entry> entries;
    std::uint64_t entryBytes = 0;  // the entries' header lines and data, separators included
};
