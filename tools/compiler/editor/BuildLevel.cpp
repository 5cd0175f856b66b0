#include "compiler/editor/BuildLevel.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "compiler/editor/EditorMap.h"
#include "compiler/editor/TextureImport.h"

namespace orvcompile {

namespace {

// The level's name from the map file's: letters, digits, '_' and '-', at most 25.
std::string LevelNameOf(const std::string& path) {
    std::string name = std::filesystem::path(path).stem().string();
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '-') c = '_';
    name.resize(std::min(name.size(), kMaxLevelName));
    return name.empty() ? "level" : name;
}

// The picture for a texture name: its image among the textures given, else
// the caller's fallback; false when neither has one.
bool FindPicture(const std::string& name, const TextureLibrary& library, const BuildOptions& options, Picture& picture,
                 Reporter& reporter) {
    std::string error;
    if (library.Find(name, picture, error)) return true;
    if (!error.empty()) reporter.WarnAsIs(error);
    return options.fallbackTexture && options.fallbackTexture(Lower(BaseName(name)), picture);
}

// FindPicture's picture, or the placeholder with the name noted as missing.
Picture PictureFor(const std::string& name, const TextureLibrary& library, const BuildOptions& options,
                   std::vector<std::string>& missing, Reporter& reporter) {
    Picture picture;
    if (FindPicture(name, library, options, picture, reporter)) return picture;
    missing.push_back(name);
    return PlaceholderTexture();
}

void WarnMissing(const std::vector<std::string>& missing, bool anyGiven, Reporter& reporter) {
    if (missing.empty()) return;
    std::string list;
    for (const std::string& name : missing) list += (list.empty() ? "" : ", ") + name;
    const std::string count = Counted(static_cast<long>(missing.size()), "texture", "textures");
    reporter.WarnAsIs((anyGiven ? "the textures given have no image for " + count
                                : "no textures given (--textures FOLDER or WAD): " + count) +
                      ", drawn with a magenta placeholder: " + list);
}

// The textures given with --textures, folders and WADs in order.
bool OpenTextures(const MapSource& source, TextureLibrary& library, Reporter& reporter) {
    for (const std::string& path : source.textures) {
        std::error_code code;
        std::string error;
        const bool ok = std::filesystem::is_directory(path, code) ? library.AddFolder(path, error)
                                                                  : library.AddWad(path, source.palette, error);
        if (!ok) return reporter.FailAsIs(error);
    }
    return true;
}

// The WADs the world's "wad" key names (separated by ';'), looked for as
// written, then by their path and then their file name beside the map and
// in each texture folder. Those not found, or not readable, are warned about.
// Returns how many were added.
int AddMapWads(const EditorMap& editor, const MapSource& source, TextureLibrary& library, Reporter& reporter) {
    namespace fs = std::filesystem;
    if (editor.entities.empty()) return 0;
    std::vector<fs::path> bases = {fs::path(source.path).parent_path()};
    for (const std::string& folder : library.Folders()) bases.emplace_back(folder);
    int added = 0;
    std::stringstream list(editor.entities.front().Value("wad"));
    for (std::string written; std::getline(list, written, ';');) {
        written.erase(0, written.find_first_not_of(' '));
        written.erase(written.find_last_not_of(' ') + 1);
        if (written.empty()) continue;
        std::string entry = written;
        std::replace(entry.begin(), entry.end(), '\\', '/');
        std::vector<fs::path> candidates = {entry};
        for (const fs::path& base : bases) {
            candidates.push_back(base / fs::path(entry).relative_path());
            candidates.push_back(base / fs::path(entry).filename());
        }
        std::error_code code;
        const auto found = std::find_if(candidates.begin(), candidates.end(),
                                        [&](const fs::path& p) { return fs::is_regular_file(p, code); });
        std::string error;
        if (found == candidates.end())
            reporter.WarnAsIs("the map's WAD '" + written + "' is neither beside the map nor in a texture folder");
        else if (!library.AddWad(found->string(), source.palette, error))
            reporter.WarnAsIs(error);
        else
            ++added;
    }
    return added;
}

bool ReadEditor(const MapSource& source, const std::string& text, const BuildOptions& options, EditorMap& editor,
                ImportedMap& imported, BuiltLevel& built, Reporter& reporter) {
    if (!ReadEditorMap(text, editor, reporter)) return false;

    TextureLibrary library;
    if (!OpenTextures(source, library, reporter)) return false;
    const bool anyGiven = AddMapWads(editor, source, library, reporter) > 0 || !source.textures.empty();
    std::map<std::string, LevelTexture> table;
    // Textures are written beside the level: none may take the name of a
    // lightmap page or of the blank lightmap (the engine finds files ignoring case).
    ImportSettings settings;
    settings.editorUnitsPerUnit = source.editorUnitsPerUnit;
    settings.level = options.level.empty() ? LevelNameOf(source.path) : options.level;
    settings.lightmapPages = options.lightmapPages;
    std::set<std::string> taken = {kBlankLightmap};
    for (int page = 0; page < kMaxLightmapPages; ++page) {
        taken.insert(Lower(PageName(settings.level, page)));
    }
    std::vector<std::string> missing;
    for (const std::string& name : LevelTextureNames(editor)) {
        if (name.empty() || name == "__TB_empty") {  // the editor's "no texture"
            table[name] = LevelTexture{};
            continue;
        }
        const Picture picture = PictureFor(name, library, options, missing, reporter);
        const LevelTexture texture{EngineTextureName(name, taken), picture.width, picture.height};
        table[name] = texture;
        built.textures.push_back({texture.name, FitForEngine(picture)});
    }
    WarnMissing(missing, anyGiven, reporter);

    const bool ok = ImportEditorMap(editor, settings, table, imported, reporter);
    built.map = imported.map;
    built.model = imported.model;
    built.summary = imported.summary;
    return ok;
}

// Own maps name the engine's textures; for a pack each gets its picture.
bool OwnMapTextures(const MapSource& source, const BuildOptions& options, BuiltLevel& built, Reporter& reporter) {
    TextureLibrary library;
    if (!OpenTextures(source, library, reporter)) return false;
    std::vector<std::string> missing;
    for (const MapBrush& brush : built.map.brushes)
        for (const MapFace& face : brush.faces) {
            const std::string& name = face.texture.name;
            if (name.empty() || std::any_of(built.textures.begin(), built.textures.end(),
                                            [&](const LevelTexturePicture& t) { return t.name == name; }))
                continue;
            built.textures.push_back({name, FitForEngine(PictureFor(name, library, options, missing, reporter))});
        }
    WarnMissing(missing, !source.textures.empty(), reporter);
    return true;
}

// What the compiler kept of an editor map: the brushes that are convex
// solids, and the lights in open space.
void AddCompiled(BuiltLevel& built) {
    EditorSummary& summary = built.summary;
    summary.brushesKept = static_cast<int>(built.level.brushes.brushes.size());
    const int notSolid = static_cast<int>(built.map.brushes.size()) - summary.brushesKept;
    if (notSolid > 0) summary.brushesLeftOut.push_back({"not convex solids", notSolid});
    for (const MapLight& light : built.level.lights)
        ++(Length(light.axis) > 0 ? summary.spotlights : summary.pointLights);
    summary.sun = Length(built.map.sky.sun) > 0;
    summary.skyDome = Length(built.map.sky.dome) > 0;
}

}  // namespace

bool ReadMapText(const std::string& path, std::string& text, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read '" + path + "': " + std::strerror(errno);
        return false;
    }
    std::ostringstream read;
    read << in.rdbuf();
    text = read.str();
    return true;
}

bool BuildLevel(const MapSource& source, const std::string& text, const BuildOptions& options, BuiltLevel& built,
                Reporter& reporter) {
    built = BuiltLevel{};
    EditorMap editor;
    ImportedMap imported;
    built.fromEditor = LooksLikeEditorMap(text);
    if (built.fromEditor) {
        if (!ReadEditor(source, text, options, editor, imported, built, reporter)) return false;
    } else {
        if (!ParseMap(text, built.map, reporter)) return false;
        if (!options.level.empty()) built.map.level = options.level;
        if (options.pictures == TexturePictures::EveryMap && !OwnMapTextures(source, options, built, reporter))
            return false;
    }

    CompileOptions compileOptions;
    compileOptions.threads = source.threads;
    compileOptions.progress = options.progress;
    if (Compile(built.map, compileOptions, built.level, reporter)) {
        if (built.fromEditor) AddCompiled(built);
        return true;
    }
    if (built.fromEditor && reporter.Error().ends_with(" lies inside a brush"))
        reporter.Restate(StartMessage(imported));
    if (built.fromEditor && !built.level.leakPath.empty()) {
        reporter.Restate(LeakMessage(imported, built.level.leakPath));
        built.pointFile = PointFileText(imported, built.level.leakPath);
    }
    return false;
}

}  // namespace orvcompile
