#include "math/Matrix.h"

#include <array>
#include <cmath>
#include <numbers>
#include <sstream>

#include <gtest/gtest.h>

namespace {

using Row = std::array<float, 4>;

// p * m for the row vector p, written out from the storage layout so that it
// does not depend on Multiply.
Row Transform(Row p, const Matrix& m) {
    Row result{};
    for (int c = 0; c < 4; ++c) {
        for (int k = 0; k < 4; ++k) {
            result[c] += p[k] * m.m[4 * k + c];
        }
    }
    return result;
}

std::string ToString(Row r) {
    std::ostringstream out;
    out << '(' << r[0] << ", " << r[1] << ", " << r[2] << ", " << r[3] << ')';
    return out.str();
}

testing::AssertionResult RowNear(Row actual, Row expected, float tolerance = 1e-5f) {
    for (int i = 0; i < 4; ++i) {
        if (!(std::fabs(actual[i] - expected[i]) <= tolerance)) {
            return testing::AssertionFailure() << "got " << ToString(actual) << ", expected " << ToString(expected);
        }
    }
    return testing::AssertionSuccess();
}

constexpr float kAngles[] = {0.0f, 0.3f, 1.0f, std::numbers::pi_v<float> / 2, 2.5f, -0.7f};

TEST(MatrixTest, RotationXTurnsYTowardsMinusZ) {
    for (float a : kAngles) {
        SCOPED_TRACE(a);
        const Matrix r = MakeRotationX(a);
        const float c = std::cos(a);
        const float s = std::sin(a);
        EXPECT_TRUE(RowNear(Transform({0, 1, 0, 1}, r), {0, c, -s, 1}));
        EXPECT_TRUE(RowNear(Transform({0, 0, 1, 1}, r), {0, s, c, 1}));
        EXPECT_TRUE(RowNear(Transform({1, 0, 0, 1}, r), {1, 0, 0, 1}));
    }
}

TEST(MatrixTest, RotationYTurnsXTowardsZ) {
    for (float a : kAngles) {
        SCOPED_TRACE(a);
        const Matrix r = MakeRotationY(a);
        const float c = std::cos(a);
        const float s = std::sin(a);
        EXPECT_TRUE(RowNear(Transform({1, 0, 0, 1}, r), {c, 0, s, 1}));
        EXPECT_TRUE(RowNear(Transform({0, 0, 1, 1}, r), {-s, 0, c, 1}));
        EXPECT_TRUE(RowNear(Transform({0, 1, 0, 1}, r), {0, 1, 0, 1}));
    }
}

TEST(MatrixTest, RotationZTurnsXTowardsMinusY) {
    for (float a : kAngles) {
        SCOPED_TRACE(a);
        const Matrix r = MakeRotationZ(a);
        const float c = std::cos(a);
        const float s = std::sin(a);
        EXPECT_TRUE(RowNear(Transform({1, 0, 0, 1}, r), {c, -s, 0, 1}));
        EXPECT_TRUE(RowNear(Transform({0, 1, 0, 1}, r), {s, c, 0, 1}));
        EXPECT_TRUE(RowNear(Transform({0, 0, 1, 1}, r), {0, 0, 1, 1}));
    }
}

TEST(MatrixTest, TranslationMovesPointsButNotDirections) {
    const Matrix t = MakeTranslation(5, -6, 7);
    EXPECT_TRUE(RowNear(Transform({1, 2, 3, 1}, t), {6, -4, 10, 1}));
    EXPECT_TRUE(RowNear(Transform({1, 2, 3, 0}, t), {1, 2, 3, 0}));
}

TEST(MatrixTest, MultiplyAppliesSecondArgumentFirst) {
    for (float a : kAngles) {
        SCOPED_TRACE(a);
        const Matrix m = Multiply(MakeTranslation(5, 0, 0), MakeRotationY(a));
        EXPECT_TRUE(RowNear(Transform({1, 0, 0, 1}, m), {std::cos(a) + 5, 0, std::sin(a), 1}));
    }
}

TEST(MatrixTest, MultiplyComposesGeneralMatrices) {
    // Small integers keep every product exact, and no element repeats, so a
    // transposed or swapped product cannot pass.
    Matrix a{};
    Matrix b{};
    for (int i = 0; i < 16; ++i) {
        a.m[i] = static_cast<float>(i + 1);
        b.m[i] = static_cast<float>((i * 7) % 16 - 8);
    }
    const Matrix product = Multiply(a, b);
    for (Row p : {Row{1, 0, 0, 0}, Row{0, 0, 0, 1}, Row{1, -2, 3, 4}}) {
        EXPECT_TRUE(RowNear(Transform(p, product), Transform(Transform(p, b), a), 0.0f));
    }
}

TEST(MatrixTest, IdentityIsNeutralOnBothSides) {
    Matrix m{};
    for (int i = 0; i < 16; ++i) {
        m.m[i] = static_cast<float>(i) * 1.5f - 4.0f;
    }
    const Matrix left = Multiply(MakeIdentity(), m);
    const Matrix right = Multiply(m, MakeIdentity());
    EXPECT_EQ(std::to_array(left.m), std::to_array(m.m));
    EXPECT_EQ(std::to_array(right.m), std::to_array(m.m));
}

TEST(MatrixTest, PerspectiveTakesFieldOfViewInRadians) {
    // 90 is not converted from degrees: half of it is 45 radians.
    const Matrix p = MakePerspective(0.1f, 1000.0f, 90.0f);
    EXPECT_NEAR(p.m[0], 0.525322f, 1e-6f);
    EXPECT_NEAR(p.m[5], 0.525322f, 1e-6f);
    EXPECT_NEAR(p.m[10], 0.850989f, 1e-6f);
    EXPECT_NEAR(p.m[11], 0.850904f, 1e-6f);
    EXPECT_NEAR(p.m[14], -0.0850989f, 1e-7f);
    for (int i : {1, 2, 3, 4, 6, 7, 8, 9, 12, 13, 15}) {
        EXPECT_EQ(p.m[i], 0.0f) << "element " << i;
    }
}

TEST(MatrixTest, PerspectiveMapsNearAndFarToDepthZeroAndOne) {
    struct Planes {
        float near;
        float far;
    };
    for (Planes planes : {Planes{0.1f, 1000.0f}, Planes{1.0f, 50.0f}}) {
        for (float fov : {0.5f, 1.2f, 2.0f, 90.0f}) {
            SCOPED_TRACE(testing::Message() << "near " << planes.near << ", far " << planes.far << ", fov " << fov);
            const Matrix p = MakePerspective(planes.near, planes.far, fov);
            const Row atNear = Transform({0, 0, planes.near, 1}, p);
            const Row atFar = Transform({0, 0, planes.far, 1}, p);
            EXPECT_NEAR(atNear[2] / atNear[3], 0.0f, 1e-5f);
            EXPECT_NEAR(atFar[2] / atFar[3], 1.0f, 1e-5f);
        }
    }
}

}  // namespace
