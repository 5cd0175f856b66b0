// orvtool compile: turns a map into the level file and its lightmap pages.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "compiler/Compile.h"
#include "orvtool/Commands.h"

int CompileCommand(int argc, char** argv) {
    std::string mapPath, outDir;
    int threads = 2;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-o" && i + 1 < argc) {
            outDir = argv[++i];
        } else if (arg == "-j" && i + 1 < argc) {
            char* end = nullptr;
            const long value = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || value < 1 || value > 64) return UsageError("compile");
            threads = static_cast<int>(value);
        } else if (mapPath.empty() && !arg.empty() && arg[0] != '-') {
            mapPath = arg;
        } else {
            return UsageError("compile");
        }
    }
    if (mapPath.empty() || outDir.empty()) return UsageError("compile");

    std::ifstream in(mapPath, std::ios::binary);
    if (!in) return Fail("cannot read '" + mapPath + "': " + std::strerror(errno));
    std::ostringstream text;
    text << in.rdbuf();

    orvcompile::Map map;
    std::string error;
    if (!orvcompile::ParseMap(text.str(), mapPath, map, error)) return Fail(error);
    // Made before the long compile, so that a directory that cannot be made
    // fails at once; a map that cannot be parsed leaves nothing behind.
    std::error_code made;
    std::filesystem::create_directories(outDir, made);
    if (made) return Fail("cannot make the directory '" + outDir + "': " + made.message());
    orvcompile::CompileOptions options;
    options.threads = threads;
    options.progress = [](const std::string& line) {
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    };
    orvcompile::CompiledLevel level;
    if (!orvcompile::Compile(map, mapPath, options, level, error)) return Fail(error);
    if (!orvcompile::WriteOutputs(map, level, outDir, error)) return Fail(error);
    std::printf("wrote %s/%s.bsp and %zu lightmap pages\n", outDir.c_str(), map.level.c_str(), level.lightmaps.pages.size());
    return 0;
}
