// The reader of the engine's own map format (docs/MAP_FORMAT.md), as orvtool
// hands it the map's text, and the brushes built from whatever it accepted.
#include <cstdint>
#include <string>

#include "compiler/Brushes.h"
#include "compiler/Map.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace orvcompile;
    const std::string text(reinterpret_cast<const char*>(data), size);
    Map map;
    Reporter reporter("fuzz.map");
    if (!ParseMap(text, map, reporter)) return 0;
    BrushSet brushes;
    BuildBrushes(map, brushes, reporter);
    return 0;
}
