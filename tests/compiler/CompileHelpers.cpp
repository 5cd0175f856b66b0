#include "compiler/CompileHelpers.h"

#include <fstream>
#include <sstream>

std::string SampleMap() {
    std::ifstream in(ORV_SOURCE_DIR "/tests/compiler/maps/sample.map");
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}
