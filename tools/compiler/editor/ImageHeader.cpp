#include "compiler/editor/ImageHeader.h"

#include <cstdint>
#include <cstring>
#include <fstream>

namespace orvcompile {

namespace {

// Reads `count` bytes; false at the end of the file.
bool Read(std::ifstream& in, unsigned char* bytes, std::streamsize count) {
    return static_cast<bool>(in.read(reinterpret_cast<char*>(bytes), count));
}

std::uint32_t Big16(const unsigned char* b) { return static_cast<std::uint32_t>(b[0]) << 8 | b[1]; }
std::uint32_t Big32(const unsigned char* b) { return Big16(b) << 16 | Big16(b + 2); }
std::uint32_t Little16(const unsigned char* b) { return static_cast<std::uint32_t>(b[1]) << 8 | b[0]; }
std::uint32_t Little32(const unsigned char* b) { return Little16(b + 2) << 16 | Little16(b); }

// A JPEG's size is in its frame header (SOF0 … SOF15 but for DHT, JPG and
// DAC, which share the range): the segments before it are skipped by their
// lengths. `in` stands after the start-of-image marker.
bool JpegSize(std::ifstream& in, ImageHeader& header) {
    unsigned char b[5];
    while (Read(in, b, 1)) {
        if (b[0] != 0xFF) return false;
        unsigned char marker = 0xFF;
        while (marker == 0xFF)  // fill bytes
            if (!Read(in, &marker, 1)) return false;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;  // markers without a segment
        if (!Read(in, b, 2) || Big16(b) < 2) return false;
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            if (!Read(in, b, 5)) return false;
            header.height = Big16(b + 1);
            header.width = Big16(b + 3);
            return true;
        }
        if (!in.seekg(Big16(b) - 2, std::ios::cur)) return false;
    }
    return false;
}

}  // namespace

bool ReadImageHeader(const std::string& path, bool tga, ImageHeader& header, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read '" + path + "'";
        return false;
    }
    unsigned char b[26] = {};
    bool known = false;
    if (tga) {
        header.type = "TGA";
        known = Read(in, b, 18);
        header.width = Little16(b + 12);
        header.height = Little16(b + 14);
    } else if (Read(in, b, 2) && b[0] == 0xFF && b[1] == 0xD8) {
        header.type = "JPG";
        known = JpegSize(in, header);
    } else if (b[0] == 'B' && b[1] == 'M') {
        header.type = "BMP";
        known = Read(in, b + 2, 24);
        // The old core header has 16-bit sides; the others signed 32-bit ones,
        // a negative height meaning rows from the top. (A conditional of the
        // two forms would read the signed one as unsigned.)
        const bool core = Little32(b + 14) == 12;
        auto side = [&](int coreAt, int at) -> long long {
            if (core) return Little16(b + coreAt);
            return static_cast<std::int32_t>(Little32(b + at));
        };
        header.width = side(18, 18);
        const long long height = side(20, 22);
        header.height = height < 0 ? -height : height;
    } else if (Read(in, b + 2, 22) && std::memcmp(b, "\x89PNG\r\n\x1a\n", 8) == 0 &&
               std::memcmp(b + 12, "IHDR", 4) == 0) {
        header.type = "PNG";
        known = true;
        header.width = Big32(b + 16);
        header.height = Big32(b + 20);
    }
    if (!known) error = "cannot read the image '" + path + "': not a PNG, JPEG, BMP or TGA image, or cut short";
    return known;
}

}  // namespace orvcompile
