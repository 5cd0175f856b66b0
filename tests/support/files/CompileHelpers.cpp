#include "support/files/CompileHelpers.h"

#include <fstream>
#include <sstream>

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
