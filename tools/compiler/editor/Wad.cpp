#include "compiler/editor/Wad.h"

#include <algorithm>
#include <cstring>

namespace orvcompile {

namespace {

constexpr std::size_t kHeaderSize = 12;
constexpr std::size_t kEntrySize = 32;
constexpr std::size_t kNameSize = 16;
constexpr std::size_t kMiptexHeaderSize = kNameSize + 4 * 2 + 4 * 4;
constexpr std::size_t kPaletteSize = 768;
// Texture lumps of the two kinds; other lumps (status bar pictures, fonts,
// palettes) are not textures.
constexpr char kWad2Texture = 'D';
constexpr char kWad3Texture = 'C';
// Larger textures are refused rather than decoded.
constexpr std::uint32_t kMaxSide = 4096;

std::uint32_t Word(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 16 | static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

// A name field: up to 16 characters, ended by the first zero.
std::string NameAt(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    std::string name(reinterpret_cast<const char*>(&bytes[at]), kNameSize);
    name.resize(std::min(name.find('\0'), kNameSize));
    return name;
}

// Whether [at, at + size) lies within `limit`, without overflow.
bool Within(std::uint64_t at, std::uint64_t size, std::uint64_t limit) { return at <= limit && size <= limit - at; }

// One texture lump (its bytes [start, start + size) of the file); false when
// it breaks its layout.
bool ReadMiptex(const std::vector<std::uint8_t>& bytes, std::size_t start, std::size_t size, WadKind kind,
                const std::vector<std::uint8_t>& palette, WadTexture& texture, std::string& error) {
    // The name is the lump's first field: read only once the lump is known to hold it.
    if (size < kMiptexHeaderSize) {
        error = "the texture lump at byte " + std::to_string(start) + " is cut short";
        return false;
    }
    texture.name = NameAt(bytes, start);
    const std::string subject = "the texture '" + texture.name + "'";
    const std::uint32_t width = Word(bytes, start + kNameSize), height = Word(bytes, start + kNameSize + 4);
    const std::uint32_t pixels = Word(bytes, start + kNameSize + 8);
    if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) {
        error = subject + " is " + std::to_string(width) + " x " + std::to_string(height) +
                " pixels; sides from 1 to " + std::to_string(kMaxSide) + " are read";
        return false;
    }
    const std::uint64_t area = static_cast<std::uint64_t>(width) * height;
    if (!Within(pixels, area, size)) {
        error = subject + "'s pixels lie outside its lump";
        return false;
    }
    const std::uint8_t* colours = palette.data();
    if (kind == WadKind::Wad3) {
        // The texture's own palette follows its four mip levels: a count, then the colours.
        std::uint64_t after = pixels;
        for (int level = 0; level < 4; ++level) after += area >> (2 * level);
        if (!Within(after, 2 + kPaletteSize, size)) {
            error = subject + " has no palette of its own";
            return false;
        }
        colours = &bytes[start + static_cast<std::size_t>(after) + 2];
    }
    texture.picture = Picture{static_cast<int>(width), static_cast<int>(height), {}};
    texture.picture.rgb.resize(static_cast<std::size_t>(area) * 3);
    for (std::size_t i = 0; i < area; ++i)
        std::memcpy(&texture.picture.rgb[i * 3], colours + bytes[start + pixels + i] * 3, 3);
    return true;
}

// Whether every lump of the directory lies within the file, none sharing a
// byte with another: so the textures decoded, each at most its lump's size in
// pixels, come to at most three bytes per byte of the file.
bool LumpsApart(const std::vector<std::uint8_t>& bytes, std::uint32_t count, std::size_t directory,
                std::string& error) {
    struct Lump {
        std::uint64_t start, end;
        std::size_t entry;
    };
    std::vector<Lump> lumps;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t entry = directory + static_cast<std::size_t>(i) * kEntrySize;
        const std::uint32_t start = Word(bytes, entry), size = Word(bytes, entry + 4);
        if (!Within(start, size, bytes.size())) {
            error = "the lump '" + NameAt(bytes, entry + 16) + "' lies outside the file";
            return false;
        }
        if (size > 0) lumps.push_back({start, static_cast<std::uint64_t>(start) + size, entry});
    }
    std::stable_sort(lumps.begin(), lumps.end(), [](const Lump& a, const Lump& b) { return a.start < b.start; });
    for (std::size_t i = 1; i < lumps.size(); ++i)
        if (lumps[i].start < lumps[i - 1].end) {
            error = "the lumps '" + NameAt(bytes, lumps[i - 1].entry + 16) + "' and '" +
                    NameAt(bytes, lumps[i].entry + 16) + "' share bytes";
            return false;
        }
    return true;
}

}  // namespace

WadKind KindOfWad(const std::vector<std::uint8_t>& bytes) {
    if (bytes.size() < 4) return WadKind::NotWad;
    if (std::memcmp(bytes.data(), "WAD2", 4) == 0) return WadKind::Wad2;
    if (std::memcmp(bytes.data(), "WAD3", 4) == 0) return WadKind::Wad3;
    return WadKind::NotWad;
}

bool ReadWad(const std::vector<std::uint8_t>& bytes, const std::vector<std::uint8_t>& palette,
             std::vector<WadTexture>& textures, std::string& error) {
    textures.clear();
    const WadKind kind = KindOfWad(bytes);
    if (kind == WadKind::NotWad || bytes.size() < kHeaderSize) {
        error = "not a WAD2 or WAD3 file";
        return false;
    }
    if (kind == WadKind::Wad2 && palette.size() < kPaletteSize) {
        error = "a WAD2 file needs a palette";
        return false;
    }
    const std::uint32_t count = Word(bytes, 4), directory = Word(bytes, 8);
    if (!Within(directory, static_cast<std::uint64_t>(count) * kEntrySize, bytes.size())) {
        error = "its directory of " + std::to_string(count) + " entries lies outside the file";
        return false;
    }
    if (!LumpsApart(bytes, count, directory, error)) return false;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t entry = directory + static_cast<std::size_t>(i) * kEntrySize;
        const std::uint32_t start = Word(bytes, entry), size = Word(bytes, entry + 4);
        const char type = static_cast<char>(bytes[entry + 12]), compression = static_cast<char>(bytes[entry + 13]);
        if (type != kWad2Texture && type != kWad3Texture) continue;
        if (compression != 0) {
            error = "the lump '" + NameAt(bytes, entry + 16) + "' is compressed";
            return false;
        }
        WadTexture texture;
        if (!ReadMiptex(bytes, start, size, kind, palette, texture, error)) return false;
        textures.push_back(std::move(texture));
    }
    return true;
}

bool ReadPalette(const std::vector<std::uint8_t>& bytes, std::vector<std::uint8_t>& palette, std::string& error) {
    if (bytes.size() < kPaletteSize) {
        error = "a palette has 768 bytes (256 colours), not " + std::to_string(bytes.size());
        return false;
    }
    palette.assign(bytes.begin(), bytes.begin() + kPaletteSize);
    return true;
}

}  // namespace orvcompile
