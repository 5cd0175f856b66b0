// Writing the compiled level: the level file ("NBSP" version 2) and 24-bit
// BMP images.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "compiler/Tree.h"

namespace orvcompile {

struct LevelVertex {
    Vec3 position;
    double lightmap[2] = {0, 0};
    double texture[2] = {0, 0};
};

// One triangle as the engine draws it.
struct LevelPolygon {
    std::string textureName;  // empty: untextured
    std::string lightmapName;
    LevelVertex v[3];
};

// The level file's text. Nodes are numbered in pre-order from the root, which
// is node 0; each split plane is written as a triangle on it with float
// corners (its defining one when floats hold that exactly), whose normal by
// the engine's rule points to the front child. `polygons` holds the
// triangles of each empty leaf, indexed like tree.nodes.
std::string LevelText(const Tree& tree, const PlaneSet& planes, const std::vector<std::vector<LevelPolygon>>& polygons,
                      const std::string& freeWord);

// A picture with rows from the top, pixels red, green, blue.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;
};

// The bytes of an uncompressed 24-bit BMP. The engine's OpenGL renderer needs
// rows without padding, so the width must be a multiple of 4.
std::string BmpBytes(const Picture& picture);

}  // namespace orvcompile
