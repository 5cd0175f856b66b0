#include <gtest/gtest.h>

#include "render/Overlay.h"
#include "support/stand-ins/TestSeam.h"

namespace {

class OverlayTest : public ::testing::Test {
protected:
    void TearDown() override { seam::Reset(); }

    // Counts `frames` frames, the clock standing at `ticks` for each.
    void CountFramesAt(std::uint32_t ticks, int frames = 1) {
        seam::SetTickCount(ticks);
        for (int i = 0; i < frames; ++i) counter.CountFrame(timer);
    }

    FrameTimer timer;
    FrameRateCounter counter;
};

TEST_F(OverlayTest, FrameRateIsZeroUntilAFullSecondHasPassed) {
    CountFramesAt(5000, 10);
    CountFramesAt(5999, 20);
    EXPECT_EQ(counter.FrameRate(), 0);
    EXPECT_EQ(timer.lastTick, 5999u);  // every frame marks the timer

    CountFramesAt(6000);  // the 31st frame closes the first second
    EXPECT_EQ(counter.FrameRate(), 31);
}

TEST_F(OverlayTest, EachPeriodCountsOnlyItsOwnFrames) {
    CountFramesAt(100);
    CountFramesAt(1100);  // first period: 2 frames
    ASSERT_EQ(counter.FrameRate(), 2);
    CountFramesAt(1500, 4);
    CountFramesAt(2099);
    EXPECT_EQ(counter.FrameRate(), 2);
    CountFramesAt(2100);  // second period started at 1100: frames at 1500 (4), 2099, 2100
    EXPECT_EQ(counter.FrameRate(), 6);
}

TEST_F(OverlayTest, SurvivesTheTickCounterWrappingAround) {
    CountFramesAt(0xFFFFFF00u);
    CountFramesAt(0x000002E8u);  // 1000 ms later, past the wrap
    EXPECT_EQ(counter.FrameRate(), 2);
}

TEST(OverlayTexts, AreTheThreeTextsInDrawingOrder) {
    auto texts = OverlayTexts(60, 1234);
    EXPECT_STREQ(texts[0].text, "FPS: 60");
    EXPECT_EQ(texts[0].x, 290);
    EXPECT_EQ(texts[0].y, 10);
    EXPECT_STREQ(texts[1].text, "Polygons Rendered: 1234");
    EXPECT_EQ(texts[1].x, 10);
    EXPECT_EQ(texts[1].y, 10);
    EXPECT_STREQ(texts[2].text, "Orvanthelix 3D Engine V.0.0.0.7");
    EXPECT_EQ(texts[2].x, 380);
    EXPECT_EQ(texts[2].y, 450);
}

TEST(OverlayTexts, PolygonCountWrapsPast32767) {
    std::int16_t polygons = 32767;
    ++polygons;  // the counter's own 16-bit arithmetic
    EXPECT_STREQ(OverlayTexts(0, polygons)[1].text, "Polygons Rendered: -32768");
    EXPECT_STREQ(OverlayTexts(0, 32767)[1].text, "Polygons Rendered: 32767");
}

}  // namespace
