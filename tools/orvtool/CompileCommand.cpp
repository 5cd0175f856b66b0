// orvtool compile: turns a map into the level file and its lightmap pages; a
// map from the editors also gets its textures written beside them.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "compiler/Compile.h"
#include "compiler/Reporter.h"
#include "orvtool/Commands.h"
#include "orvtool/MapInput.h"
#include "platform/core/AtomicFile.h"

int CompileCommand(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    orvcompile::MapSource source;
    std::string outDir;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const int option = TakeMapOption(args, i, source);
        if (option < 0) return UsageError("compile");
        if (option > 0) continue;
        if (arg == "-o" && i + 1 < args.size()) {
            outDir = args[++i];
        } else if (source.path.empty() && !arg.empty() && arg[0] != '-') {
            source.path = arg;
        } else {
            return UsageError("compile");
        }
    }
    if (source.path.empty() || outDir.empty()) return UsageError("compile");

    // Made before the long compile, so that a directory that cannot be made
    // fails at once; a map that does not compile leaves no directory behind.
    std::error_code made;
    const bool existed = std::filesystem::is_directory(outDir, made);
    std::filesystem::create_directories(outDir, made);
    if (made) return Fail("cannot make the directory '" + outDir + "': " + made.message());
    orvcompile::BuiltLevel built;
    std::string error;
    if (!BuildMapFile(source, "", orvcompile::kMaxLightmapPages, orvcompile::TexturePictures::EditorMapsOnly, built,
                      error)) {
        if (!existed) std::filesystem::remove(outDir, made);
        return Fail(error);
    }
    if (!orvcompile::WriteOutputs(built.map, built.level, outDir, error)) return Fail(error);
    for (const orvcompile::LevelTexturePicture& texture : built.textures)
        if (!WriteFileAtomically(outDir + "/" + texture.name + ".bmp", {orvcompile::BmpBytes(texture.picture)}, error))
            return Fail(error);
    using orvcompile::Counted;
    const long pages = static_cast<long>(built.level.lightmaps.pages.size());
    std::printf("wrote %s/%s.bsp and %s\n", outDir.c_str(), built.map.level.c_str(),
                Counted(pages, "lightmap page", "lightmap pages").c_str());
    if (built.fromEditor)
        std::printf("wrote %s\n", Counted(static_cast<long>(built.textures.size()), "texture", "textures").c_str());
    return 0;
}
