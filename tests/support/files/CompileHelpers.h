// Compiling map text in-process for the compiler's tests.
#pragma once

#include <string>

#include "compiler/Compile.h"
#include "compiler/editor/EditorImport.h"
#include "support/files/LevelReader.h"

struct Compiled {
    orvcompile::Map map;
    orvcompile::CompiledLevel level;
    ReadLevel read;     // the written level file, read back by the engine's rules
    std::string error;  // empty when the map compiled
};

Compiled CompileText(const std::string& text, int threads = 2);

// A map compiled as given (for what the own map text cannot say).
Compiled CompileMap(const orvcompile::Map& map, int threads = 2);

// The sample map of the source tree as text.
std::string SampleMap();

// A sealed box room: the inside spans lo..hi, walls `wall` thick, player start at `start`.
std::string RoomMap(int lox, int loy, int loz, int hix, int hiy, int hiz, const std::string& start, int wall = 4);

// An axial brush of an editor's map from its lowest to its highest corner,
// every face with `texture`.
std::string Box(int x, int y, int z, int X, int Y, int Z, const std::string& texture = "w");

// An editor's map read and imported as orvtool does, every texture 64 × 32;
// false when a step refuses it.
bool ImportEditorText(const std::string& text, double scale, orvcompile::EditorMap& editor,
                      orvcompile::ImportedMap& imported, orvcompile::Reporter& reporter);
