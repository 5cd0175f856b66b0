// Compiling map text in-process for the compiler's tests.
#pragma once

#include <string>

#include "compiler/Compile.h"
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
