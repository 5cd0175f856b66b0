// Textures packed in WAD files, as the editors' older games keep them: WAD2,
// whose pictures are indices into a 256-colour palette kept elsewhere
// (palette.lmp), and WAD3, where each texture carries its own palette.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "compiler/LevelFile.h"

namespace orvcompile {

enum class WadKind : std::uint8_t { NotWad, Wad2, Wad3 };

// The kind of a file by its first bytes.
WadKind KindOfWad(const std::vector<std::uint8_t>& bytes);

struct WadTexture {
    std::string name;  // as the WAD spells it
    Picture picture;
};

// The textures of a WAD, full size, in the order of its directory. A WAD2
// needs `palette` (768 bytes: red, green, blue for each index); a WAD3 takes
// each texture's own. False with a message for a file that is not a WAD or
// breaks its own layout (a lump past the file's end, two lumps sharing bytes);
// textures whose lumps are not pictures are skipped.
bool ReadWad(const std::vector<std::uint8_t>& bytes, const std::vector<std::uint8_t>& palette,
             std::vector<WadTexture>& textures, std::string& error);

// The bytes of a palette file (palette.lmp and the like: at least 768
// bytes); false with a message for anything shorter.
bool ReadPalette(const std::vector<std::uint8_t>& bytes, std::vector<std::uint8_t>& palette, std::string& error);

}  // namespace orvcompile
