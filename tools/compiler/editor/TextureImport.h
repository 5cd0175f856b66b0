// Textures for maps drawn in the editors: their images found in a texture
// folder, read with SDL_image (PNG, TGA, JPEG, BMP), and made into pictures
// the engine takes (24-bit, power-of-two sides up to 256) under names that
// fit its 31 characters.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "compiler/LevelFile.h"

namespace orvcompile {

// The largest texture side the engine is given.
constexpr int kMaxTextureSide = 256;

// The images under a folder, by their path below it without the extension,
// ignoring case: the editors name a loose texture "base/wall" for
// "base/wall.png".
class TextureFolder {
public:
    TextureFolder() = default;
    // False with a message when the folder cannot be listed.
    bool Open(const std::string& directory, std::string& error);
    // The image file for an editor's texture name, or "" when there is none:
    // the path itself, with '*' written as '#' as some games store liquids, or
    // else the only image of that file name anywhere below the folder.
    std::string Find(const std::string& name) const;

private:
    std::map<std::string, std::string> byPath;               // "base/wall" → file
    std::map<std::string, std::vector<std::string>> byName;  // "wall" → files
};

// Where an editor map's textures are looked up, in the order they were
// added: folders of images and WAD files.
class TextureLibrary {
public:
    // False with a message when the folder cannot be listed.
    bool AddFolder(const std::string& directory, std::string& error);
    // A WAD file's textures. A WAD2 takes the palette `paletteFile`, or when
    // that is "" a palette.lmp beside the WAD or in a gfx/ folder beside it
    // or beside its folder. False with a message when the file is not a
    // readable WAD or a WAD2 finds no palette.
    bool AddWad(const std::string& path, const std::string& paletteFile, std::string& error);
    // The picture for an editor's texture name from the first place that has
    // it; false when none has it, with `error` set when the image it has
    // cannot be read.
    bool Find(const std::string& name, Picture& picture, std::string& error) const;
    // The folders, in order, which WADs named by a map are also looked for in.
    const std::vector<std::string>& Folders() const { return folders; }

private:
    struct Place {
        TextureFolder folder;                // a folder's images
        std::map<std::string, Picture> wad;  // a WAD's textures by their lower-case name
        bool isWad = false;
    };
    std::vector<Place> places;
    std::vector<std::string> folders;
};

// Reads an image as red, green, blue rows from the top. False with a message
// for a file that is not a readable image.
bool ReadImage(const std::string& path, Picture& picture, std::string& error);

// The picture scaled (averaging the pixels each new one covers) to sides that
// are powers of two from 4 to kMaxTextureSide, each the nearest to the old.
Picture FitForEngine(const Picture& picture);

// A picture that cannot be mistaken for a texture: magenta and black checks.
Picture PlaceholderTexture();

// A name for the engine from an editor's texture name: the last part of its
// path, lower case, characters other than letters, digits, '_' and '-' made
// '_', at most `maxLength` characters (31, the level's names, unless a pack's
// entry names need fewer), and none of `taken` (which it joins).
std::string EngineTextureName(const std::string& editorName, std::set<std::string>& taken, std::size_t maxLength = 31);

}  // namespace orvcompile
