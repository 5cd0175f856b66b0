// orvtool compile: turns a map into the level file and its lightmap pages; a
// map from the editors also gets its textures written beside them.
#include <cstdio>
#include <string>
#include <vector>

#include "compiler/Compile.h"
#include "orvtool/Commands.h"
#include "orvtool/MapInput.h"

namespace {

constexpr const char* kUsage = "usage: orvtool compile MAP -o DIR [-j THREADS] [--textures DIR] [--scale UNITS]";

int Fail(const std::string& message, int status = 1) {
    std::fprintf(stderr, "orvtool: %s\n", message.c_str());
    return status;
}

}  // namespace

int CompileCommand(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    MapSource source;
    std::string outDir;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const int option = TakeMapOption(args, i, source);
        if (option < 0) return Fail(kUsage, 2);
        if (option > 0) continue;
        if (arg == "-o" && i + 1 < args.size()) {
            outDir = args[++i];
        } else if (source.path.empty() && !arg.empty() && arg[0] != '-') {
            source.path = arg;
        } else {
            return Fail(kUsage, 2);
        }
    }
    if (source.path.empty() || outDir.empty()) return Fail(kUsage, 2);

    BuiltLevel built;
    std::string error;
    if (!BuildLevel(source, "", orvcompile::kMaxLightmapPages, false, built, error)) return Fail(error);
    if (!orvcompile::WriteOutputs(built.map, built.level, outDir, error)) return Fail(error);
    for (const LevelTexturePicture& texture : built.textures)
        if (!orvcompile::WriteFileAtomically(outDir + "/" + texture.name + ".bmp",
                                             orvcompile::BmpBytes(texture.picture), error))
            return Fail(error);
    std::printf("wrote %s/%s.bsp and %zu lightmap pages\n", outDir.c_str(), built.map.level.c_str(),
                built.level.lightmaps.pages.size());
    if (built.fromEditor) std::printf("wrote %zu textures\n", built.textures.size());
    return 0;
}
