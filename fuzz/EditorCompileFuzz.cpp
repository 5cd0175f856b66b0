// The whole compile of a map, through the one call orvtool compiles with:
// reading (an editor's map or the engine's own), textures, conversion,
// brushes, tree, flood, faces, lightmaps and light, and a leak's message and
// point file. Nothing is printed or written. Inputs are kept small
// (libFuzzer's -max_len), so that each compiles in moments.
#include <cstdint>
#include <string>

#include "compiler/editor/BuildLevel.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace orvcompile;
    MapSource source;
    source.path = "fuzz.map";
    source.threads = 1;
    BuildOptions options;
    options.level = "fuzz";
    options.lightmapPages = 2;
    BuiltLevel built;
    Reporter reporter(source.path);
    BuildLevel(source, std::string(reinterpret_cast<const char*>(data), size), options, built, reporter);
    return 0;
}
