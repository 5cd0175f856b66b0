// The procedural textures of the demo level, and the white blank lightmap.
#pragma once

#include <string>
#include <vector>

#include "compiler/LevelFile.h"

namespace orvcontent {

// The names MakeTexture knows ("wall0" ... "mainframe0", "lmblank").
const std::vector<std::string>& TextureNames();

// The picture for a name; false for a name it does not know. The same name
// always gives the same pixels.
bool MakeTexture(const std::string& name, orvcompile::Picture& picture);

}  // namespace orvcontent
