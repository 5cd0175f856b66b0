// The view volume's test of a box, on a 90-degree view from the origin along
// +z (visible where |x| <= z, |y| <= z and 1 <= z <= 100, its depth mapped
// to 0..1 as the Direct3D-style device maps it; the volume takes OpenGL's
// near bound, -w <= depth, which lies at about half the near distance).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "level/ViewVolume.h"

namespace {

const ViewVolume kView(MakePerspective(1.0f, 100.0f, 1.5707964f));

Box Span(float x0, float x1, float y0, float y1, float z0, float z1) { return {{x0, y0, z0}, {x1, y1, z1}}; }

TEST(ViewVolumeTest, ABoxIsLeftOutOnlyWhenWhollyOutsideOneBound) {
    EXPECT_FALSE(kView.Excludes(Span(-1, 1, -1, 1, 10, 11))) << "ahead";
    EXPECT_FALSE(kView.Excludes(Span(9, 11, -1, 1, 10, 10.5f))) << "across the right plane";
    EXPECT_FALSE(kView.Excludes(Span(10, 12, -1, 1, 9, 10))) << "touching the right plane at a corner";
    EXPECT_TRUE(kView.Excludes(Span(10.5f, 12, -1, 1, 9, 10.2f))) << "right of it";
    EXPECT_TRUE(kView.Excludes(Span(-1, 1, -12, -10.5f, 9, 10.2f))) << "below the bottom plane";
    // Outside no single bound though beyond two corners' planes together: kept (conservative).
    EXPECT_FALSE(kView.Excludes(Span(-30, 30, -30, 30, 10, 11)));
    EXPECT_TRUE(kView.Excludes(Span(-1, 1, -1, 1, -5, -1))) << "behind the eye";
    EXPECT_TRUE(kView.Excludes(Span(-1, 1, -1, 1, 101, 102))) << "beyond the far plane";
    EXPECT_FALSE(kView.Excludes(Span(-1, 1, -1, 1, 99, 102))) << "across the far plane";
}

TEST(ViewVolumeTest, ABoxHoldingTheEyeIsKeptWhenItReachesPastTheNearBound) {
    EXPECT_FALSE(kView.Excludes(Span(-1, 1, -1, 1, -1, 1)));
    EXPECT_FALSE(kView.Excludes(Span(-50, 50, -50, 50, -50, 2))) << "mostly behind the eye";
    EXPECT_TRUE(kView.Excludes(Span(-50, 50, -50, 50, -50, 0.4f))) << "not reaching the near bound";
    EXPECT_TRUE(kView.Excludes(Span(0, 0, 0, 0, 0, 0))) << "the eye itself";
}

TEST(ViewVolumeTest, DegenerateBoxesAndVolumes) {
    EXPECT_TRUE(kView.Excludes(Span(1, -1, -1, 1, 10, 11))) << "empty: no polygons";
    EXPECT_FALSE(kView.Excludes(Span(-1, 1, 0, 0, 10, 11))) << "flat, inside";
    EXPECT_TRUE(kView.Excludes(Span(11, 12, 0, 0, 10, 10))) << "a line, outside";
    constexpr float kInf = std::numeric_limits<float>::infinity();
    EXPECT_FALSE(kView.Excludes(Span(11, kInf, -1, 1, 10, 10))) << "an infinite bound";
    EXPECT_FALSE(kView.Excludes(Span(11, std::nanf(""), -1, 1, 10, 10))) << "a bound that is not a number";
    EXPECT_FALSE(ViewVolume().Excludes(Span(1000, 1001, 1000, 1001, -1001, -1000))) << "all space";
}

}  // namespace
