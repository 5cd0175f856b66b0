#include "orvtool/MapInput.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "compiler/EditorMap.h"
#include "compiler/TextureImport.h"
#include "content/Textures.h"
#include "orvtool/Commands.h"

using namespace orvcompile;

namespace {

// The level's name from the map file's: letters, digits, '_' and '-', at most 25.
std::string LevelNameOf(const std::string& path) {
    std::string name = std::filesystem::path(path).stem().string();
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '-') c = '_';
    name.resize(std::min(name.size(), kMaxLevelName));
    return name.empty() ? "level" : name;
}

// The picture for a texture name: its image in the folder, else the engine's
// own texture of that name; false when neither exists.
bool FindPicture(const std::string& name, const TextureFolder& folder, Picture& picture, Reporter& reporter) {
    const std::string file = folder.Find(name);
    if (!file.empty()) {
        std::string error;
        if (ReadImage(file, picture, error)) return true;
        reporter.WarnAsIs(error);
    }
    const std::string base = Lower(BaseName(name));
    const auto& own = orvcontent::TextureNames();
    return base != "lmblank" && std::find(own.begin(), own.end(), base) != own.end() &&
           orvcontent::MakeTexture(base, picture);
}

// FindPicture's picture, or the placeholder with the name noted as missing.
Picture PictureFor(const std::string& name, const TextureFolder& folder, std::vector<std::string>& missing,
                   Reporter& reporter) {
    Picture picture;
    if (FindPicture(name, folder, picture, reporter)) return picture;
    missing.push_back(name);
    return PlaceholderTexture();
}

void WarnMissing(const std::vector<std::string>& missing, const MapSource& source, Reporter& reporter) {
    if (missing.empty()) return;
    std::string list;
    for (const std::string& name : missing) list += (list.empty() ? "" : ", ") + name;
    const std::string count = Counted(static_cast<long>(missing.size()), "texture", "textures");
    reporter.WarnAsIs((source.texturesDir.empty() ? "no texture folder given (--textures DIR): " + count
                                                  : "the texture folder has no image for " + count) +
                      ", drawn with a magenta placeholder: " + list);
}

// The texture folder, when one is given.
bool OpenFolder(const MapSource& source, TextureFolder& folder, Reporter& reporter) {
    std::string error;
    return source.texturesDir.empty() || folder.Open(source.texturesDir, error) || reporter.FailAsIs(error);
}

bool ReadEditor(const MapSource& source, const std::string& text, const std::string& levelName, int lightmapPages,
                EditorMap& editor, ImportedMap& imported, BuiltLevel& built, Reporter& reporter) {
    if (!ReadEditorMap(text, editor, reporter)) return false;

    TextureFolder folder;
    if (!OpenFolder(source, folder, reporter)) return false;
    std::map<std::string, LevelTexture> table;
    // Textures are written beside the level: none may take the name of a
    // lightmap page or of the blank lightmap (the engine finds files ignoring case).
    ImportSettings settings;
    settings.editorUnitsPerUnit = source.editorUnitsPerUnit;
    settings.level = levelName.empty() ? LevelNameOf(source.path) : levelName;
    settings.lightmapPages = lightmapPages;
    std::set<std::string> taken = {"lmblank"};
    for (int page = 0; page < kMaxLightmapPages; ++page) {
        taken.insert(Lower(PageName(settings.level, page)));
    }
    std::vector<std::string> missing;
    for (const std::string& name : LevelTextureNames(editor)) {
        if (name.empty() || name == "__TB_empty") {  // the editor's "no texture"
            table[name] = LevelTexture{};
            continue;
        }
        const Picture picture = PictureFor(name, folder, missing, reporter);
        const LevelTexture texture{EngineTextureName(name, taken), picture.width, picture.height};
        table[name] = texture;
        built.textures.push_back({texture.name, FitForEngine(picture)});
    }
    WarnMissing(missing, source, reporter);

    const bool ok = ImportEditorMap(editor, settings, table, imported, reporter);
    built.map = imported.map;
    return ok;
}

// Own maps name the engine's textures; for a pack each gets its picture.
bool OwnMapTextures(const MapSource& source, BuiltLevel& built, Reporter& reporter) {
    TextureFolder folder;
    if (!OpenFolder(source, folder, reporter)) return false;
    std::vector<std::string> missing;
    for (const MapBrush& brush : built.map.brushes)
        for (const MapFace& face : brush.faces) {
            const std::string& name = face.texture.name;
            if (name.empty() || std::any_of(built.textures.begin(), built.textures.end(),
                                            [&](const LevelTexturePicture& t) { return t.name == name; }))
                continue;
            built.textures.push_back({name, FitForEngine(PictureFor(name, folder, missing, reporter))});
        }
    WarnMissing(missing, source, reporter);
    return true;
}

std::string PointFilePath(const std::string& mapPath) {
    std::filesystem::path path(mapPath);
    path.replace_extension(".pts");
    return path.string();
}

// BuildLevel once the map's text is read.
bool BuildFromText(const MapSource& source, const std::string& text, const std::string& level, int lightmapPages,
                   TexturePictures pictures, BuiltLevel& built, Reporter& reporter) {
    EditorMap editor;
    ImportedMap imported;
    built.fromEditor = LooksLikeEditorMap(text);
    if (built.fromEditor) {
        if (!ReadEditor(source, text, level, lightmapPages, editor, imported, built, reporter)) return false;
    } else {
        if (!ParseMap(text, built.map, reporter)) return false;
        if (!level.empty()) built.map.level = level;
        if (pictures == TexturePictures::EveryMap && !OwnMapTextures(source, built, reporter)) return false;
    }

    CompileOptions options;
    options.threads = source.threads;
    options.progress = [](const std::string& line) {
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    };
    if (Compile(built.map, options, built.level, reporter)) return true;
    if (built.fromEditor && reporter.Error().ends_with(" lies inside a brush"))
        reporter.Restate(StartMessage(imported));
    if (built.fromEditor && !built.level.leakPath.empty()) {
        std::string message = LeakMessage(imported, built.level.leakPath);
        const std::string points = PointFilePath(source.path);
        std::string ignored;
        if (WriteFileAtomically(points, PointFileText(imported, built.level.leakPath), ignored))
            message += "; the way out is in the point file '" + points + "'";
        reporter.Restate(message);
    }
    return false;
}

}  // namespace

int TakeMapOption(const std::vector<std::string>& args, std::size_t& i, MapSource& source) {
    const std::string& arg = args[i];
    if (arg != "-j" && arg != "--textures" && arg != "--scale") return 0;
    if (i + 1 >= args.size()) return -1;
    const std::string& value = args[++i];
    if (arg == "--textures") {
        source.texturesDir = value;
        return value.empty() ? -1 : 1;
    }
    char* end = nullptr;
    if (arg == "-j") {
        const long threads = std::strtol(value.c_str(), &end, 10);
        if (end == value.c_str() || *end != '\0' || threads < 1 || threads > 64) return -1;
        source.threads = static_cast<int>(threads);
        return 1;
    }
    const double scale = std::strtod(value.c_str(), &end);
    if (end == value.c_str() || *end != '\0' || !std::isfinite(scale) || scale < 0.01 || scale > 1000) return -1;
    source.editorUnitsPerUnit = scale;
    return 1;
}

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

bool BuildLevel(const MapSource& source, const std::string& level, int lightmapPages, TexturePictures pictures,
                BuiltLevel& built, std::string& error) {
    built = BuiltLevel{};
    std::string text;
    if (!ReadMapText(source.path, text, error)) return false;
    Reporter reporter(source.path, Warn);
    if (BuildFromText(source, text, level, lightmapPages, pictures, built, reporter)) return true;
    error = reporter.Error();
    return false;
}
