// The reader of the editors' maps, their conversion to the compiler's map and
// the brushes built from it. The reader takes the map's text, as orvtool
// reads it from the file.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "compiler/Brushes.h"
#include "compiler/EditorImport.h"
#include "compiler/EditorMap.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace orvcompile;
    const std::string text(reinterpret_cast<const char*>(data), size);
    EditorMap editor;
    std::vector<std::string> warnings;
    std::string error;
    if (!ReadEditorMap(text, "fuzz.map", editor, warnings, error)) return 0;
    std::map<std::string, LevelTexture> textures;
    for (const std::string& name : LevelTextureNames(editor)) textures[name] = {"t", 64, 64};
    ImportedMap imported;
    if (!ImportEditorMap(editor, "fuzz.map", ImportSettings{}, textures, imported, warnings, error)) return 0;
    BrushSet brushes;
    BuildBrushes(imported.map, "fuzz.map", brushes, error, [](const std::string&) {});
    return 0;
}
