#include "pack/Pack.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <limits>
#include <memory>
#include <utility>

#include "platform/core/Files.h"

std::int32_t g_PackEntryCount = 0;
PackEntry* g_PackEntries = nullptr;

namespace {

constexpr long long kMaxInt32 = std::numeric_limits<std::int32_t>::max();

// The stream's length in bytes, or -1 when it cannot be measured. Leaves the
// stream at its start.
long long StreamSize(FILE* stream) {
    if (std::fseek(stream, 0, SEEK_END) != 0) return -1;
    const long size = std::ftell(stream);
    if (std::fseek(stream, 0, SEEK_SET) != 0) return -1;
    return size;
}

// Header numbers are read as long long so that a value beyond 32 bits is seen
// and refused rather than silently wrapped.
bool ReadNumber(FILE* pack, long long& value) { return std::fscanf(pack, "%lli", &value) == 1; }

// The width limit keeps the conversion inside the 16-byte buffer; a name that
// goes on past it is detected by the character that follows.
static_assert(sizeof(PackEntry::name) == 16, "the %15s below must match the name buffer");
bool ReadName(FILE* pack, char* name) {
    if (std::fscanf(pack, "%15s", name) != 1) return false;
    const int next = std::fgetc(pack);
    if (next == EOF) return true;
    std::ungetc(next, pack);
    return std::isspace(next) != 0;
}

// Reads the header into a new directory; false when it is malformed.
bool ReadDirectory(FILE* pack) {
    const long long packSize = StreamSize(pack);
    long long count = 0;
    if (packSize < 0 || !ReadNumber(pack, count)) return false;
    // Every entry takes at least four header bytes (white space, a name, white
    // space, a size digit), so a larger count is corrupt; refusing it before
    // allocating keeps a bad header from asking for gigabytes.
    if (count < 0 || count > packSize / 4) return false;

    auto entries = std::make_unique<PackEntry[]>(count);
    for (long long i = 0; i < count; ++i) {
        long long size = 0;
        if (!ReadName(pack, entries[i].name) || !ReadNumber(pack, size)) return false;
        if (size < 0 || size > kMaxInt32) return false;
        entries[i].size = static_cast<std::int32_t>(size);
    }

    if (count > 0) {
        // The one separator byte; its value does not matter.
        if (std::fgetc(pack) == EOF) return false;
        long long offset = std::ftell(pack);
        for (long long i = 0; i < count; ++i) {
            if (offset > kMaxInt32) return false;
            entries[i].offset = static_cast<std::int32_t>(offset);
            offset += entries[i].size + 1LL;
        }
    }

    g_PackEntryCount = static_cast<std::int32_t>(count);
    g_PackEntries = count > 0 ? entries.release() : nullptr;
    return true;
}

// Copies COUNT bytes; on failure returns the system's reason (EIO when the
// pack ran short).
int CopyBytes(FILE* from, FILE* to, std::int32_t count) {
    char buffer[65536];
    while (count > 0) {
        const std::size_t chunk = std::min<std::size_t>(count, sizeof buffer);
        if (std::fread(buffer, 1, chunk, from) != chunk) return EIO;
        if (std::fwrite(buffer, 1, chunk, to) != chunk) return errno;
        count -= static_cast<std::int32_t>(chunk);
    }
    return 0;
}

// The entry of the open pack called `entryName`, with the pack at the start of
// its data; null when the pack has no such entry or its data runs past the end
// of the pack.
const PackEntry* SeekEntry(FILE* pack, const char* entryName) {
    const PackEntry* entry = FindPackEntry(entryName);
    if (!pack || !entry) return nullptr;
    const long long packSize = StreamSize(pack);
    if (packSize < 0 || entry->offset + static_cast<long long>(entry->size) > packSize) return nullptr;
    if (std::fseek(pack, entry->offset, SEEK_SET) != 0) return nullptr;
    return entry;
}

}  // namespace

FILE* OpenPack(const char* fileName) {
    FILE* pack = OpenFile(fileName, "rb");
    if (!pack) return nullptr;
    if (!ReadDirectory(pack)) {
        CloseFile(pack);
        return nullptr;
    }
    return pack;
}

const PackEntry* FindPackEntry(const char* entryName) {
    for (std::int32_t i = 0; i < g_PackEntryCount; ++i) {
        if (std::strcmp(g_PackEntries[i].name, entryName) == 0) return &g_PackEntries[i];
    }
    return nullptr;
}

std::int32_t ExtractPackEntry(FILE* pack, const char* entryName, const char* fileName, int* writeError) {
    // Found before the output file is created, so that an entry cut off by
    // the end of the pack leaves no file behind.
    const PackEntry* entry = SeekEntry(pack, entryName);
    if (!entry) return 0;

    // Exactly the name given: the engine extracts into a fresh directory, where
    // that is the same, and orvtool's user means the file named.
    FILE* out = OpenExactFile(fileName, "wb");
    int error = out ? CopyBytes(pack, out, entry->size) : errno;
    if (out) {
        struct stat info;
        const bool regular = fstat(fileno(out), &info) == 0 && S_ISREG(info.st_mode);
        // A failed close can mean the buffered bytes never reached the disk.
        if (CloseFile(out) != 0 && error == 0) error = errno;
        // A file cut short (a full disk) would pass for a whole one later.
        if (error != 0 && regular) std::remove(fileName);
    }
    if (error != 0 && writeError) *writeError = error;
    return error == 0 ? 1 : 0;
}

bool ReadPackEntry(FILE* pack, const char* entryName, std::string& bytes) {
    const PackEntry* entry = SeekEntry(pack, entryName);
    if (!entry) return false;
    std::string data(entry->size, '\0');
    if (std::fread(data.data(), 1, data.size(), pack) != data.size()) return false;
    bytes = std::move(data);
    return true;
}

void ClosePack(FILE* pack) {
    if (!pack) return;
    CloseFile(pack);
    g_PackEntryCount = 0;
    delete[] g_PackEntries;
    g_PackEntries = nullptr;
}
