// The demo's model: a jointed desk lamp of turned parts (base, lower arm,
// upper arm, shade, bulb), each hanging from the one before at an angle, with
// a painted skin in the model patch of the lightmap pages.
#pragma once

#include <string>
#include <vector>

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

// Part-space point or direction to the world, by the part's and its
// ancestors' rotations and translations (a direction takes no translation).
Vec3 LampToWorld(int part, Vec3 p, bool direction = false);

// The "NMDL" version 1 text. Lightmap coordinates point into the model patch
// of a page of pageWidth × pageHeight texels.
std::string LampModelText(int pageWidth, int pageHeight);

}  // namespace orvcontent
