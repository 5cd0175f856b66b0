// The demo's model: a jointed desk lamp of turned parts (base, lower arm,
// upper arm, shade, bulb), each hanging from the one before at an angle, with
// a painted skin in the model patch of the lightmap pages.
#pragma once

#include <string>
#include <vector>

#include "compiler/editor/EditorImport.h"
#include "content/Lathe.h"

namespace orvcontent {

struct LampPart {
    const char* name;
    const char* parent;  // "none" for the first part
    Vec3 translation;    // the joint, in the parent's space (the world's for the first part)
    Vec3 rotation;       // radians about x, then y, then z
    Lathe surface;
};

// The parts in file order, each after its parent.
const std::vector<LampPart>& LampParts();

// The entity's position, which the engine adds to every part-space point
// before the part's own rotation (docs/CONTENT.md).
constexpr Vec3 kEntityPosition{0, 2.5, 0};

// Where the lamp stands in the demo level: its foot on the floor 15 units
// ahead of the start, its shade opening toward the start (its front, −z).
// A map's place stands that foot at the place and turns that front its way.
constexpr Vec3 kDemoLampFoot{0, 0, 15};

// Part-space point or direction to the world, by the part's and its
// ancestors' rotations and translations (a direction takes no translation),
// with the lamp at `place`, or where it stands in the demo level.
Vec3 LampToWorld(int part, Vec3 p, bool direction = false, const orvcompile::ModelPlace* place = nullptr);

// The "NMDL" version 1 text. Lightmap coordinates point into the model patch
// of a page of pageWidth × pageHeight texels. At a map's place the file is
// flat (ModelFile.h); the demo's keeps its jointed parts.
std::string LampModelText(int pageWidth, int pageHeight, const orvcompile::ModelPlace* place = nullptr);

}  // namespace orvcontent
