// A map's text to a compiled level with its textures: the engine's own map
// language or an editor's brush map, told apart by their content. An editor
// map is read, given its textures (the folders and WADs given, then the WADs
// its "wad" key names) and converted before the compile. What is printed and
// what is written are the caller's: orvtool's compile and pack build, and the
// fuzz target of the whole compile, which does neither.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "compiler/Compile.h"
#include "compiler/editor/EditorImport.h"

namespace orvcompile {

// The map file and the options orvtool's compile and pack build share.
struct MapSource {
    std::string path;
    std::vector<std::string> textures;                // --textures: folders of images and WAD files, in order
    std::string palette;                              // --palette: a WAD2's palette
    double editorUnitsPerUnit = kEditorUnitsPerUnit;  // --scale
    int threads = 2;                                  // -j, --jobs
};

// The whole text of the map file at PATH; false with the reason.
bool ReadMapText(const std::string& path, std::string& text, std::string& error);

struct LevelTexturePicture {
    std::string name;  // as the level names it
    Picture picture;
};

struct BuiltLevel {
    Map map;
    CompiledLevel level;
    bool fromEditor = false;
    // Every texture the level names, ready for the engine. Own maps name the
    // engine's textures and get them only for TexturePictures::EveryMap.
    std::vector<LevelTexturePicture> textures;
    // After an editor map's leak: the way out as a point file's text.
    std::string pointFile;
    // Where an editor map stands the model; none for a map without an
    // orvanthelix_model, and for the engine's own maps.
    std::optional<ModelPlace> model;
    // After an editor map's compile: what became of it, for orvtool's summary.
    EditorSummary summary;
};

// Which maps' textures BuildLevel reads into pictures.
enum class TexturePictures { EditorMapsOnly, EveryMap };

struct BuildOptions {
    // Names an editor map's level (empty: after the file) and replaces an own map's.
    std::string level;
    int lightmapPages = kMaxLightmapPages;  // bounds an editor map's pages
    TexturePictures pictures = TexturePictures::EditorMapsOnly;
    // The picture for a texture the textures given have no image for, by the
    // last part of its name in lower case; false when it has none either.
    // orvtool's are the engine's own textures.
    std::function<bool(const std::string& name, Picture& picture)> fallbackTexture;
    std::function<void(const std::string&)> progress;  // as CompileOptions::progress
};

// Reads and compiles the map whose file's content is `text`. Warnings go to
// `reporter`, and the error when it fails: an editor map's leak or a start
// inside a brush told in the editor's coordinates.
bool BuildLevel(const MapSource& source, const std::string& text, const BuildOptions& options, BuiltLevel& built,
                Reporter& reporter);

}  // namespace orvcompile
