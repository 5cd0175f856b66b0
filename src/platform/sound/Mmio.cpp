#include "platform/sound/Mmio.h"

#include <cstdint>
#include <string>

#include "platform/core/Files.h"
#include "platform/core/Seam.h"

struct MmioObject {
    FILE* stream;
};

namespace {

constexpr FOURCC kRiff = mmioFOURCC('R', 'I', 'F', 'F');
constexpr FOURCC kList = mmioFOURCC('L', 'I', 'S', 'T');

std::string Name(FOURCC code) {
    std::string name;
    for (int shift = 0; shift < 32; shift += 8) name += static_cast<char>((code >> shift) & 0xFF);
    return name;
}

bool ReadDword(FILE* stream, DWORD& value) {
    std::uint8_t bytes[4];
    if (std::fread(bytes, 1, 4, stream) != 4) return false;
    value = bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<DWORD>(bytes[3]) << 24;
    return true;
}

// Offsets are 64-bit here so that a chunk size near 4 GiB cannot wrap.
bool SeekTo(FILE* stream, std::int64_t offset) {
    return offset >= 0 && offset <= 0x7FFFFFFF && std::fseek(stream, static_cast<long>(offset), SEEK_SET) == 0;
}

}  // namespace

HMMIO mmioOpenA(const char* fileName, MMIOINFO*, DWORD flags) {
    if (SeamCall("mmioOpenA", fileName ? fileName : "")) return nullptr;
    if (!fileName || (flags & ~MMIO_ALLOCBUF) != 0) return nullptr;  // reading only
    FILE* stream = OpenFile(fileName, "rb");
    if (!stream) return nullptr;
    return new MmioObject{stream};
}

MMRESULT mmioDescend(HMMIO file, MMCKINFO* chunk, const MMCKINFO* parent, UINT flags) {
    std::string sought;
    if (chunk && flags == MMIO_FINDRIFF)
        sought = "RIFF " + Name(chunk->fccType);
    else if (chunk && flags == MMIO_FINDCHUNK)
        sought = Name(chunk->ckid);
    if (auto failure = SeamCall("mmioDescend", sought)) return static_cast<MMRESULT>(*failure);
    if (!file || !chunk) return MMIOERR_CHUNKNOTFOUND;
    std::int64_t end = parent ? std::int64_t(parent->dwDataOffset) + parent->cksize : INT64_MAX;
    for (;;) {
        long start = std::ftell(file->stream);
        MMCKINFO found{};
        if (start < 0 || start + 8 > end || !ReadDword(file->stream, found.ckid) ||
            !ReadDword(file->stream, found.cksize))
            return MMIOERR_CHUNKNOTFOUND;
        found.dwDataOffset = static_cast<DWORD>(start + 8);
        bool hasType = found.ckid == kRiff || found.ckid == kList;
        if (hasType && !ReadDword(file->stream, found.fccType)) return MMIOERR_CHUNKNOTFOUND;

        bool match = flags == MMIO_FINDRIFF    ? found.ckid == kRiff && found.fccType == chunk->fccType
                     : flags == MMIO_FINDCHUNK ? found.ckid == chunk->ckid
                                               : true;
        if (match) {
            *chunk = found;
            return MMSYSERR_NOERROR;
        }
        std::int64_t next = std::int64_t(found.dwDataOffset) + found.cksize + (found.cksize & 1);
        if (!SeekTo(file->stream, next)) return MMIOERR_CHUNKNOTFOUND;
    }
}

LONG mmioRead(HMMIO file, char* buffer, LONG bytes) {
    if (auto failure = SeamCall("mmioRead", std::to_string(bytes))) return static_cast<LONG>(*failure);
    if (!file || !buffer || bytes < 0) return -1;
    std::size_t read = std::fread(buffer, 1, static_cast<std::size_t>(bytes), file->stream);
    if (read < static_cast<std::size_t>(bytes) && std::ferror(file->stream)) return -1;
    return static_cast<LONG>(read);
}

MMRESULT mmioAscend(HMMIO file, MMCKINFO* chunk, UINT) {
    if (auto failure = SeamCall("mmioAscend", chunk ? Name(chunk->ckid) : "")) return static_cast<MMRESULT>(*failure);
    if (!file || !chunk) return MMIOERR_CANNOTSEEK;
    std::int64_t end = std::int64_t(chunk->dwDataOffset) + chunk->cksize + (chunk->cksize & 1);
    return SeekTo(file->stream, end) ? MMSYSERR_NOERROR : MMIOERR_CANNOTSEEK;
}

LONG mmioSeek(HMMIO file, LONG offset, int origin) {
    if (auto failure = SeamCall("mmioSeek", std::to_string(offset) + " " + std::to_string(origin)))
        return static_cast<LONG>(*failure);
    if (!file || std::fseek(file->stream, offset, origin) != 0) return -1;
    long position = std::ftell(file->stream);
    return position < 0 || position > 0x7FFFFFFF ? -1 : static_cast<LONG>(position);
}

MMRESULT mmioClose(HMMIO file, UINT) {
    const auto failure = SeamCall("mmioClose");
    if (!file) return MMSYSERR_NOERROR;
    CloseFile(file->stream);
    delete file;
    // An armed failure is reported after the file is closed all the same.
    if (failure) return static_cast<MMRESULT>(*failure);
    return MMSYSERR_NOERROR;
}
