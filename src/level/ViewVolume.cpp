// The view volume's test of a box.
#include "level/ViewVolume.h"

#include <cmath>
#include <limits>

namespace {

// Far larger than a float transform's rounding (a few units in the 7th
// digit of the largest term), far smaller than anything worth drawing.
constexpr double kRelativeMargin = 1e-4;

// Where planes a, b and c meet (each a x + b y + c z + d = 0); false when
// they do not meet in one point.
bool Meet(const double (&a)[4], const double (&b)[4], const double (&c)[4], double (&point)[3]) {
    const double across[3][3] = {{b[1] * c[2] - b[2] * c[1], b[2] * c[0] - b[0] * c[2], b[0] * c[1] - b[1] * c[0]},
                                 {c[1] * a[2] - c[2] * a[1], c[2] * a[0] - c[0] * a[2], c[0] * a[1] - c[1] * a[0]},
                                 {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]}};
    const double determinant = a[0] * across[0][0] + a[1] * across[0][1] + a[2] * across[0][2];
    if (!(std::fabs(determinant) > 0)) return false;
    for (int axis = 0; axis < 3; ++axis)
        point[axis] = -(a[3] * across[0][axis] + b[3] * across[1][axis] + c[3] * across[2][axis]) / determinant;
    return std::isfinite(point[0]) && std::isfinite(point[1]) && std::isfinite(point[2]);
}

}  // namespace

ViewVolume::ViewVolume(const Matrix& clip) : projects(true) {
    // Clip coordinate j of p is p dotted with column j; outside means
    // x - w > 0, -x - w > 0, y - w > 0, -y - w > 0, z - w > 0 or -z - w > 0.
    const int coordinate[6] = {0, 0, 1, 1, 2, 2};
    const double sign[6] = {1, -1, 1, -1, 1, -1};
    for (int i = 0; i < 6; ++i)
        for (int row = 0; row < 4; ++row)
            planes[i][row] = sign[i] * clip.m[4 * row + coordinate[i]] - static_cast<double>(clip.m[4 * row + 3]);
    const int kept[3] = {0, 1, 3};  // x, y and w
    for (int i = 0; i < 3; ++i)
        for (int row = 0; row < 4; ++row) clipRows[i][row] = clip.m[4 * row + kept[i]];
    // The eye, where the four side planes meet, and the corners of the near
    // plane: twice the farthest corner's distance, as the Direct3D-style
    // device's near plane lies about twice as far as the volume's.
    nearReach = std::numeric_limits<double>::infinity();
    double eye[3];
    if (!Meet(planes[0], planes[1], planes[2], eye)) return;  // no eye: nearReach stays unbounded
    double farthest = 0;
    for (int xSide = 0; xSide < 2; ++xSide)
        for (int ySide = 2; ySide < 4; ++ySide) {
            double corner[3];
            if (!Meet(planes[5], planes[xSide], planes[ySide], corner)) return;
            farthest = std::fmax(farthest, std::hypot(corner[0] - eye[0], corner[1] - eye[1], corner[2] - eye[2]));
        }
    nearReach = 2 * farthest * (1 + kRelativeMargin) + kRelativeMargin;
}

bool ViewVolume::Excludes(const Box& box) const {
    for (int axis = 0; axis < 3; ++axis)
        if (box.low[axis] > box.high[axis]) return true;
    for (int axis = 0; axis < 3; ++axis)
        if (!std::isfinite(box.low[axis]) || !std::isfinite(box.high[axis])) return false;
    for (const auto& plane : planes) {
        // The box's corner least outside, and the size of the sum's terms.
        double least = plane[3], scale = std::fabs(plane[3]);
        for (int axis = 0; axis < 3; ++axis) {
            const double bound = plane[axis] > 0 ? box.low[axis] : box.high[axis];
            least += plane[axis] * bound;
            scale += std::fabs(plane[axis]) * std::fmax(std::fabs(box.low[axis]), std::fabs(box.high[axis]));
        }
        if (least > kRelativeMargin * scale) return true;
    }
    return false;
}
