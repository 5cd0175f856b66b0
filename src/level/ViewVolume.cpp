// The view volume's test of a box.
#include "level/ViewVolume.h"

#include <cmath>

namespace {

// Far larger than a float transform's rounding (a few units in the 7th
// digit of the largest term), far smaller than anything worth drawing.
constexpr double kRelativeMargin = 1e-4;

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
