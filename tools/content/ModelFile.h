// Model files ("NMDL" version 1) as orvtool writes them: the demo's lamp, a
// model placed where a map stands it, and the empty model of a map without
// one. A placed model is flat: every part keeps its name and parent but no
// joint of its own, and its points are where the engine, drawing it at its
// fixed model place, shows them at the map's place.
#pragma once

#include <string>
#include <vector>

#include "compiler/editor/EditorImport.h"

namespace orvcontent {

using orvcompile::Vec3;

struct ModelFileVertex {
    Vec3 position;
    double lightmapX = 0, lightmapY = 0;
};

struct ModelFileTriangle {
    ModelFileVertex v[3];
    std::string lightmap;
};

struct ModelFilePart {
    std::string name, parent;  // parent "none" for the first part
    Vec3 translation, rotation;
    std::vector<ModelFileTriangle> triangles;
};

// The file's text; `header` is its three free words.
std::string ModelFileText(const std::string& header, const std::vector<ModelFilePart>& parts);

// The smallest model the engine loads: one part without polygons, which
// draws nothing.
std::string EmptyModelText();

// The model file at `path`, read with the engine's loader, moved and turned
// so that its own space (drawn at the engine's model place, the floor under
// it its origin and the start's view its front) stands at `place`. False
// when the engine's loader refuses the file.
bool PlacedModelText(const std::string& path, const orvcompile::ModelPlace& place, std::string& text);

}  // namespace orvcontent
