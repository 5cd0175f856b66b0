// The part of space a renderer's projection can show, for leaving out of the
// drawing whole subtrees of the level that lie outside it.
#pragma once

#include <limits>

#include "math/Matrix.h"

// An axis-aligned box; empty when a low bound lies above its high bound.
struct Box {
    float low[3];
    float high[3];
};

constexpr float kInfinite = std::numeric_limits<float>::infinity();
constexpr Box kAllSpace{{-kInfinite, -kInfinite, -kInfinite}, {kInfinite, kInfinite, kInfinite}};

// The half-spaces that both renderers' clipping keeps: -w <= x <= w,
// -w <= y <= w and -w <= z <= w of the clip coordinates. The near bounds
// differ: OpenGL's is -w <= z, the Direct3D-style device's 0 <= z (its depth
// is mapped to GL's by the device), which implies GL's as w >= 0 there. So
// the volume is OpenGL's whole view volume and, for the device, its own
// widened by the sliver between the eye and the near plane.
class ViewVolume {
public:
    // Holds all space: excludes only empty boxes.
    ViewVolume() = default;

    // From the matrix that takes a level point (x, y, z, 1) to its clip
    // coordinates as p * clip (row vectors, math/Matrix.h).
    explicit ViewVolume(const Matrix& clip);

    // True only when the box is empty or lies wholly outside one of the
    // half-spaces by more than the rounding of a float transform can move it
    // (a relative margin), so that nothing inside the box can reach a pixel.
    // A box with a bound that is not finite is never excluded.
    bool Excludes(const Box& box) const;

    // Whether the volume was made from a matrix; the volume of all space
    // has no picture to project to.
    bool Projects() const { return projects; }
    // The clip coordinate x (0), y (1) or w (2) of a level point as
    // a x + b y + c z + d: a, b, c, d (all zero for the volume of all space).
    const double* ClipRow(int coordinate) const { return clipRows[coordinate]; }
    // How near the eye the renderers' near plane may cut what lies in view:
    // a surface nearer than this may show what lies behind it.
    double NearReach() const { return nearReach; }

private:
    double planes[6][4] = {};  // a point is outside plane i when a x + b y + c z + d > 0
    double clipRows[3][4] = {};
    bool projects = false;
    double nearReach = 0;  // 0 for all space; unbounded for a matrix whose eye or near plane cannot be told
};
