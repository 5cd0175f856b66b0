#include "content/LampModel.h"

#include <array>
#include <cstdio>
#include <vector>

namespace orvcontent {
namespace {

struct Point {
    double x, y, z;
};

struct Part {
    const char* name;
    const char* parent;
    Point translation;   // relative to the parent (the entity for the first part)
    Point low, high;     // the part's box, in its own space
};

// The entity stands at (0, 2.5, 0) facing +z; the base's translation puts the
// lamp on the floor 14 units ahead of the start, where the player looks first.
// Each arm reaches from the top of the part before it, so the lamp has three
// levels below its base.
const std::array<Part, 4> kParts = {{
    {"base", "none", {0, -2.5, 14}, {-2, 0, -2}, {2, 0.6, 2}},
    {"lowerarm", "base", {0, 0.6, 0}, {-0.3, 0, -0.3}, {0.3, 4.2, 0.3}},
    {"upperarm", "lowerarm", {0, 4.2, 0}, {-0.25, -0.25, -0.25}, {0.25, 0.25, 3.2}},
    {"shade", "upperarm", {0, 0, 3.2}, {-1.2, -1.6, -1.0}, {1.2, 0.2, 1.0}},
}};

// The six faces of a box as quads whose corners run anticlockwise seen from
// outside, so Cross(V1 − V0, V2 − V0) points out of the box as in the level.
std::vector<std::array<Point, 4>> BoxQuads(Point a, Point b) {
    return {
        {{{b.x, a.y, a.z}, {b.x, b.y, a.z}, {b.x, b.y, b.z}, {b.x, a.y, b.z}}},  // +x
        {{{a.x, a.y, a.z}, {a.x, a.y, b.z}, {a.x, b.y, b.z}, {a.x, b.y, a.z}}},  // -x
        {{{a.x, b.y, a.z}, {a.x, b.y, b.z}, {b.x, b.y, b.z}, {b.x, b.y, a.z}}},  // +y
        {{{a.x, a.y, a.z}, {b.x, a.y, a.z}, {b.x, a.y, b.z}, {a.x, a.y, b.z}}},  // -y
        {{{a.x, a.y, b.z}, {b.x, a.y, b.z}, {b.x, b.y, b.z}, {a.x, b.y, b.z}}},  // +z
        {{{a.x, a.y, a.z}, {a.x, b.y, a.z}, {b.x, b.y, a.z}, {b.x, a.y, a.z}}},  // -z
    };
}

}  // namespace

std::string LampModelText(int pageWidth, int pageHeight) {
    const double u = 2.0 / pageWidth, v = 2.0 / pageHeight;
    std::string text = "NMDL 1 desk-lamp lamp boxes\n";
    text += std::to_string(kParts.size()) + "\n";
    char line[256];
    for (const Part& part : kParts) {
        const auto quads = BoxQuads(part.low, part.high);
        std::snprintf(line, sizeof line, "%s part %s %g %g %g 0 0 0 %zu polygons\n", part.name, part.parent,
                      part.translation.x, part.translation.y, part.translation.z, quads.size() * 2);
        text += line;
        for (const auto& quad : quads) {
            for (const std::array<int, 3> corners : {std::array<int, 3>{0, 1, 2}, std::array<int, 3>{0, 2, 3}}) {
                for (int corner : corners) {
                    const Point& p = quad[corner];
                    std::snprintf(line, sizeof line, "%g %g %g %.6f %.6f ", p.x, p.y, p.z, u, v);
                    text += line;
                }
                text += "lamp\n";
            }
        }
        text += "end part\n";
    }
    text += "end\n";
    return text;
}

}  // namespace orvcontent
