// Maps for orvtool's compile and pack build: the engine's own map language or
// the editors' brush maps, told apart by their content, read, given their
// textures and compiled.
#pragma once

#include <string>
#include <vector>

#include "compiler/Compile.h"
#include "compiler/editor/EditorImport.h"

struct MapSource {
    std::string path;
    std::vector<std::string> textures;  // --textures: folders of images and WAD files, in order
    std::string palette;                // --palette: a WAD2's palette
    double editorUnitsPerUnit = orvcompile::kEditorUnitsPerUnit;  // --scale
    int threads = 2;                                              // -j
};

// Takes the option at args[i] when it is one the two commands share (-j
// THREADS, --textures FOLDER|WAD (repeatable), --palette FILE, --scale UNITS), moving i to its last word: 1 when
// taken, 0 when args[i] is not one of them, -1 when it is misused.
int TakeMapOption(const std::vector<std::string>& args, std::size_t& i, MapSource& source);

// The whole text of the map file at PATH; false with the reason.
bool ReadMapText(const std::string& path, std::string& text, std::string& error);

struct LevelTexturePicture {
    std::string name;  // as the level names it
    orvcompile::Picture picture;
};

struct BuiltLevel {
    orvcompile::Map map;
    orvcompile::CompiledLevel level;
    bool fromEditor = false;
    // Every texture the level names, ready for the engine. Own maps name the
    // engine's textures and get them only for TexturePictures::EveryMap.
    std::vector<LevelTexturePicture> textures;
};

// Which maps' textures BuildLevel reads into pictures.
enum class TexturePictures { EditorMapsOnly, EveryMap };

// Reads and compiles the map, printing the steps on standard output and
// warnings on standard error. `level` names an editor map's level (empty:
// after the file) and replaces an own map's; `lightmapPages` bounds an editor
// map's pages. A leak in an editor map writes the way out as a point file
// beside the map. False with the message.
bool BuildLevel(const MapSource& source, const std::string& level, int lightmapPages, TexturePictures pictures,
                BuiltLevel& built, std::string& error);
