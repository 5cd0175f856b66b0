// The reader of the editors' maps, their conversion to the compiler's map and
// the brushes built from it. The reader takes the map's text, as orvtool
// reads it from the file.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "compiler/Brushes.h"
#include "compiler/editor/EditorImport.h"
#include "compiler/editor/EditorMap.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace orvcompile;
    const std::string text(reinterpret_cast<const char*>(data), size);
    EditorMap editor;
    Reporter reporter("fuzz.map");
    if (!ReadEditorMap(text, editor, reporter)) return 0;
    std::map<std::string, LevelTexture> textures;
    for (const std::string& name : LevelTextureNames(editor)) textures[name] = {"t", 64, 64};
    ImportedMap imported;
    if (!ImportEditorMap(editor, ImportSettings{}, textures, imported, reporter)) return 0;
    BrushSet brushes;
    BuildBrushes(imported.map, brushes, reporter);
    return 0;
}
