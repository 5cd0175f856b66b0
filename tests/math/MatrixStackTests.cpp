#include "math/MatrixStack.h"

#include <array>

#include <gtest/gtest.h>

namespace {

std::array<float, 16> Elements(const Matrix& m) { return std::to_array(m.m); }

TEST(MatrixStackTest, NewStackIsEmpty) {
    MatrixStack stack;
    EXPECT_EQ(stack.top, -1);
    EXPECT_EQ(stack.Pop(), nullptr);
    EXPECT_EQ(stack.top, -1);
}

TEST(MatrixStackTest, PopsInReverseOrderOfPushes) {
    const Matrix a = MakeTranslation(1, 2, 3);
    const Matrix b = MakeRotationY(0.5f);
    MatrixStack stack;
    stack.Push(a);
    stack.Push(b);
    EXPECT_EQ(stack.top, 1);

    const Matrix* popped = stack.Pop();
    ASSERT_NE(popped, nullptr);
    EXPECT_EQ(Elements(*popped), Elements(b));

    popped = stack.Pop();
    ASSERT_NE(popped, nullptr);
    EXPECT_EQ(Elements(*popped), Elements(a));

    EXPECT_EQ(stack.Pop(), nullptr);
    EXPECT_EQ(stack.top, -1);
}

TEST(MatrixStackTest, PoppedEntryStaysReadableUntilNextPush) {
    const Matrix a = MakeTranslation(1, 2, 3);
    const Matrix c = MakeRotationX(1.0f);
    MatrixStack stack;
    stack.Push(a);
    const Matrix* popped = stack.Pop();
    ASSERT_NE(popped, nullptr);

    EXPECT_EQ(stack.Pop(), nullptr);
    EXPECT_EQ(Elements(*popped), Elements(a));

    stack.Push(c);
    EXPECT_EQ(Elements(*popped), Elements(c));
}

TEST(MatrixStackTest, PushOnFullStackLeavesItUnchanged) {
    MatrixStack stack;
    for (int i = 0; i < 128; ++i) {
        stack.Push(MakeTranslation(static_cast<float>(i), 0, 0));
    }
    ASSERT_EQ(stack.top, 127);
    const Matrix last = MakeTranslation(127, 0, 0);
    const Matrix beyond = MakeRotationZ(0.25f);
    stack.entries[128] = beyond;

    stack.Push(MakeTranslation(-1, -1, -1));
    EXPECT_EQ(stack.top, 127);
    EXPECT_EQ(Elements(stack.entries[127]), Elements(last));
    EXPECT_EQ(Elements(stack.entries[128]), Elements(beyond));

    for (int i = 127; i >= 0; --i) {
        const Matrix* popped = stack.Pop();
        ASSERT_NE(popped, nullptr) << "pop for push " << i;
        EXPECT_EQ(Elements(*popped), Elements(MakeTranslation(static_cast<float>(i), 0, 0))) << "pop for push " << i;
    }
    EXPECT_EQ(stack.Pop(), nullptr);
    EXPECT_EQ(stack.top, -1);
}

}  // namespace
