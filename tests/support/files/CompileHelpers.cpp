#include "support/files/CompileHelpers.h"

#include <fstream>
#include <map>
#include <sstream>

#include "compiler/editor/EditorMap.h"

Compiled CompileText(const std::string& text, int threads) {
    Compiled result;
    orvcompile::Reporter reporter("test.map");
    if (!orvcompile::ParseMap(text, result.map, reporter)) {
        result.error = reporter.Error();
        return result;
    }
    return CompileMap(result.map, threads);
}

Compiled CompileMap(const orvcompile::Map& map, int threads) {
    Compiled result;
    result.map = map;
    orvcompile::Reporter reporter("test.map");
    orvcompile::CompileOptions options;
    options.threads = threads;
    if (!orvcompile::Compile(result.map, options, result.level, reporter)) {
        result.error = reporter.Error();
        return result;
    }
    std::string readError;
    result.read = ReadLevel::Parse(result.level.levelText, readError);
    if (!readError.empty()) result.error = "reading back: " + readError;
    return result;
}

std::string SampleMap() {
    std::ifstream in(ORV_SOURCE_DIR "/tests/compiler/maps/sample.map");
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string RoomMap(int lox, int loy, int loz, int hix, int hiy, int hiz, const std::string& start, int wall) {
    auto box = [](int a, int b, int c, int d, int e, int f) {
        return "box " + std::to_string(a) + " " + std::to_string(b) + " " + std::to_string(c) + " " +
               std::to_string(d) + " " + std::to_string(e) + " " + std::to_string(f) + " wall0\n";
    };
    const int w = wall;
    return "level room\nstart " + start + "\n" + box(lox - w, loy - w, loz - w, hix + w, loy, hiz + w) +
           box(lox - w, hiy, loz - w, hix + w, hiy + w, hiz + w) + box(lox - w, loy, loz - w, lox, hiy, hiz + w) +
           box(hix, loy, loz - w, hix + w, hiy, hiz + w) + box(lox, loy, loz - w, hix, hiy, loz) +
           box(lox, loy, hiz, hix, hiy, hiz + w);
}

std::string Box(int x, int y, int z, int X, int Y, int Z, const std::string& texture) {
    std::ostringstream out;
    auto face = [&](int ax, int ay, int az, int bx, int by, int bz, int cx, int cy, int cz) {
        out << "( " << ax << ' ' << ay << ' ' << az << " ) ( " << bx << ' ' << by << ' ' << bz << " ) ( " << cx << ' '
            << cy << ' ' << cz << " ) " << texture << " 0 0 0 1 1\n";
    };
    out << "{\n";
    face(x, y, z, x, y + 1, z, x, y, z + 1);
    face(x, y, z, x, y, z + 1, x + 1, y, z);
    face(x, y, z, x + 1, y, z, x, y + 1, z);
    face(X, Y, Z, X, Y + 1, Z, X + 1, Y, Z);
    face(X, Y, Z, X + 1, Y, Z, X, Y, Z + 1);
    face(X, Y, Z, X, Y, Z + 1, X, Y + 1, Z);
    return out.str() + "}\n";
}

bool ImportEditorText(const std::string& text, double scale, orvcompile::EditorMap& editor,
                      orvcompile::ImportedMap& imported, orvcompile::Reporter& reporter) {
    if (!orvcompile::ReadEditorMap(text, editor, reporter)) return false;
    std::map<std::string, orvcompile::LevelTexture> textures;
    for (const std::string& name : orvcompile::LevelTextureNames(editor)) textures[name] = {name, 64, 32};
    orvcompile::ImportSettings settings;
    settings.level = "m";
    settings.editorUnitsPerUnit = scale;
    return orvcompile::ImportEditorMap(editor, settings, textures, imported, reporter);
}
