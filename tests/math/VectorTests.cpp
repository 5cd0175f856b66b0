#include "math/Vector.h"

#include <cmath>

#include <gtest/gtest.h>

namespace {

void ExpectVectorEq(Vector actual, Vector expected) {
    EXPECT_FLOAT_EQ(actual.x, expected.x);
    EXPECT_FLOAT_EQ(actual.y, expected.y);
    EXPECT_FLOAT_EQ(actual.z, expected.z);
}

TEST(VectorTest, DotSumsComponentProducts) {
    EXPECT_FLOAT_EQ(Dot({1, 2, 3}, {4, 5, 6}), 32.0f);
    EXPECT_FLOAT_EQ(Dot({1, 0, 0}, {0, 1, 0}), 0.0f);
    EXPECT_FLOAT_EQ(Dot({-1, 2, -3}, {4, -5, 6}), -32.0f);
}

TEST(VectorTest, CrossOfAxesFollowsOperandOrder) {
    {
        SCOPED_TRACE("x cross y");
        ExpectVectorEq(Cross({1, 0, 0}, {0, 1, 0}), {0, 0, 1});
    }
    {
        SCOPED_TRACE("y cross x");
        ExpectVectorEq(Cross({0, 1, 0}, {1, 0, 0}), {0, 0, -1});
    }
}

TEST(VectorTest, CrossOfGeneralVectorsIsAntisymmetricAndPerpendicular) {
    const Vector a{1, 2, 3};
    const Vector b{4, 5, 6};
    const Vector ab = Cross(a, b);
    {
        SCOPED_TRACE("a cross b");
        ExpectVectorEq(ab, {-3, 6, -3});
    }
    {
        SCOPED_TRACE("b cross a");
        ExpectVectorEq(Cross(b, a), {3, -6, 3});
    }
    EXPECT_FLOAT_EQ(Dot(ab, a), 0.0f);
    EXPECT_FLOAT_EQ(Dot(ab, b), 0.0f);
}

TEST(VectorTest, NormaliseKeepsDirectionAtUnitLength) {
    {
        SCOPED_TRACE("(3, 0, 4)");
        ExpectVectorEq(Normalise({3, 0, 4}), {0.6f, 0, 0.8f});
    }
    {
        SCOPED_TRACE("(1, -2, 2)");
        ExpectVectorEq(Normalise({1, -2, 2}), {1.0f / 3, -2.0f / 3, 2.0f / 3});
    }
    {
        SCOPED_TRACE("already unit length");
        ExpectVectorEq(Normalise({0, -1, 0}), {0, -1, 0});
    }
}

TEST(VectorTest, NormaliseOfZeroVectorGivesNaNs) {
    const Vector result = Normalise({0, 0, 0});
    EXPECT_TRUE(std::isnan(result.x));
    EXPECT_TRUE(std::isnan(result.y));
    EXPECT_TRUE(std::isnan(result.z));
}

}  // namespace
