#include "orvtool/MapInput.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "content/Textures.h"
#include "orvtool/Commands.h"
#include "platform/core/AtomicFile.h"

using namespace orvcompile;

namespace {

// THREADS, 1 to 64, for the compile: 1 when taken, -1 when it is not a number in range.
int TakeThreads(const std::string& value, MapSource& source) {
    char* end = nullptr;
    const long threads = std::strtol(value.c_str(), &end, 10);
    if (end == value.c_str() || *end != '\0' || threads < 1 || threads > 64) return -1;
    source.threads = static_cast<int>(threads);
    return 1;
}

std::string PointFilePath(const std::string& mapPath) {
    std::filesystem::path path(mapPath);
    path.replace_extension(".pts");
    return path.string();
}

// What became of an editor map, in a few lines after its compile.
void PrintSummary(const EditorSummary& summary) {
    int leftOut = 0;
    std::string why;
    for (const auto& [reason, count] : summary.brushesLeftOut) {
        leftOut += count;
        why += (why.empty() ? "" : ", ") + reason + ": " + std::to_string(count);
    }
    std::printf("summary: %d brushes kept", summary.brushesKept);
    if (leftOut > 0) std::printf(", %d left out (%s)", leftOut, why.c_str());
    std::printf("\n         lights: %d point, %d spot; %s%s\n", summary.pointLights, summary.spotlights,
                summary.sun ? "sunlight" : "no sunlight", summary.skyDome ? " and a sky dome" : "");
    std::printf("         start: the %s at %s, looking %g degrees\n", summary.start.c_str(),
                PointText(summary.startOrigin).c_str(), summary.startAngle);
    if (summary.model.empty())
        std::printf("         model: none (the map has no %s)\n", kModelEntity);
    else
        std::printf("         model: the %s at %s, facing %g degrees\n", summary.model.c_str(),
                    PointText(summary.modelOrigin).c_str(), summary.modelAngle);
    std::fflush(stdout);
}

}  // namespace

int TakeMapOption(const std::vector<std::string>& args, std::size_t& i, MapSource& source) {
    const std::string& arg = args[i];
    // The threads also in the option's own word, as build tools take them.
    if (arg.starts_with("-j") && arg.size() > 2) return TakeThreads(arg.substr(2), source);
    if (arg.starts_with("--jobs=")) return TakeThreads(arg.substr(7), source);
    if (arg != "-j" && arg != "--jobs" && arg != "--textures" && arg != "--palette" && arg != "--scale") return 0;
    if (i + 1 >= args.size()) return -1;
    const std::string& value = args[++i];
    if (arg == "--textures") {
        source.textures.push_back(value);
        return value.empty() ? -1 : 1;
    }
    if (arg == "--palette") {
        source.palette = value;
        return value.empty() ? -1 : 1;
    }
    if (arg == "-j" || arg == "--jobs") return TakeThreads(value, source);
    char* end = nullptr;
    const double scale = std::strtod(value.c_str(), &end);
    if (end == value.c_str() || *end != '\0' || !std::isfinite(scale) || scale < 0.01 || scale > 1000) return -1;
    source.editorUnitsPerUnit = scale;
    return 1;
}

bool BuildMapFile(const MapSource& source, const std::string& level, int lightmapPages, TexturePictures pictures,
                  BuiltLevel& built, std::string& error) {
    std::string text;
    if (!ReadMapText(source.path, text, error)) return false;
    BuildOptions options;
    options.level = level;
    options.lightmapPages = lightmapPages;
    options.pictures = pictures;
    // The blank lightmap is one of the engine's pictures but no texture.
    options.fallbackTexture = [](const std::string& name, Picture& picture) {
        return name != "lmblank" && orvcontent::MakeTexture(name, picture);
    };
    options.progress = [](const std::string& line) {
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    };
    Reporter reporter(source.path, Warn);
    if (orvcompile::BuildLevel(source, text, options, built, reporter)) {
        if (built.fromEditor) PrintSummary(built.summary);
        return true;
    }
    error = reporter.Error();
    if (!built.pointFile.empty()) {
        const std::string points = PointFilePath(source.path);
        std::string ignored;
        if (WriteFileAtomically(points, {built.pointFile}, ignored))
            error += "; the way out is in the point file '" + points + "'";
    }
    return false;
}
