// The whole compile of an editor's map, as orvtool compiles it: reading,
// conversion, brushes, tree, flood, faces, lightmaps and light. Inputs are
// kept small (libFuzzer's -max_len), so that each compiles in moments.
#include <cstdint>
#include <map>
#include <string>

#include "compiler/Compile.h"
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
    ImportSettings settings;
    settings.level = "fuzz";
    settings.lightmapPages = 2;
    ImportedMap imported;
    if (!ImportEditorMap(editor, settings, textures, imported, reporter)) return 0;
    CompiledLevel level;
    CompileOptions options;
    options.threads = 1;
    if (!Compile(imported.map, options, level, reporter) && !level.leakPath.empty()) {
        LeakMessage(imported, level.leakPath);
        PointFileText(imported, level.leakPath);
    }
    return 0;
}
