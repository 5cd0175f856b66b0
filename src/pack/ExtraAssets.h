// Texture and lightmap entries beyond the unpack table: the pictures of a
// level with more textures or lightmap pages than the table's. An extra entry
// is named like the table's own, "TEXTURE" or "LMAP" and a name of letters,
// digits, '_' and '-', and is unpacked after the table's entries to that name
// in lower case with ".bmp", which is how the level names it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct ExtraAsset {
    std::string entry;  // name in the pack
    std::string file;   // loose file it is written to
};

// The caps on what a pack may add. The textures: with the table's 15, 256
// distinct pictures, beyond what designers' levels use (around a hundred).
// The pages: with the table's five and the blank, the lightmap table's 32
// entries. The bytes: the run directory often lives in memory (a tmpfs /tmp),
// and 256 MiB hold 256 pictures of 512 by 512 texels with room to spare.
inline constexpr int kMaxExtraTextures = 241;
inline constexpr int kMaxExtraLightmapPages = 26;
inline constexpr long long kMaxExtraBytes = 256LL << 20;

// The extra entries of the open pack (pack/Pack.h), in pack order: every
// entry named "TEXTURE..." or "LMAP..." that the unpack table does not hold.
// False, with `problem` saying which entry and why, when one is refused: a
// name that is not as above, a file that another entry is unpacked to
// already, or an entry beyond the caps; nothing should then be unpacked.
bool FindExtraAssets(std::vector<ExtraAsset>& extras, std::string& problem);

// The pack entries of an extra texture and an extra lightmap page that the
// level names NAME (in lower case, as it is unpacked).
std::string ExtraTextureEntry(std::string_view name);
std::string ExtraLightmapEntry(std::string_view name);
// The pack entry the engine unpacks to the image a level names NAME (a
// texture, or a lightmap page when LIGHTMAP), the loader's file being NAME in
// lower case with ".bmp": the unpack table's entry for that file, else the
// extra entry's name (which may be too long for a pack to hold).
std::string ImageEntry(std::string_view name, bool lightmap);

// The longest name of an extra texture: "TEXTURE" and it fill the pack's
// 15-character entry names.
inline constexpr std::size_t kMaxExtraTextureName = 8;

// Whether `file` is a name an extra entry can be unpacked to.
bool IsExtraFileName(std::string_view file);

// The list of the extras' files a run keeps in its directory while it unpacks
// them, one name a line, so that the clean-up of a killed run removes exactly
// those; and that list read back, keeping only names IsExtraFileName takes.
std::string ExtraFileList(const std::vector<ExtraAsset>& extras);
std::vector<std::string> ParseExtraFileList(std::string_view text);

// The longest list a run writes: what the clean-up reads at most.
inline constexpr std::size_t kMaxExtraFileListSize = (kMaxExtraTextures + kMaxExtraLightmapPages) * 16;
