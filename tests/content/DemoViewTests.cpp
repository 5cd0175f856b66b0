// The demo's start as the program draws it, with the built pack: the lamp
// reads as a lit object, from its shadowed sides to the glowing bulb.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>

#include "globals/Globals.h"
#include "model/Entity.h"
#include "platform/display/VirtualDisplay.h"
#include "support/files/TempDir.h"
#include "support/observe/DemoScene.h"
#include "support/observe/TestWindow.h"

namespace {

class DemoView : public ::testing::Test {
protected:
    void TearDown() override { EndDemo(); }
};

TEST_F(DemoView, TheLampAtTheStartShowsShadeToGlow) {
    TempDir start;
    std::filesystem::copy_file(ORV_PACK_PATH, start.File("Orvanthelix.zar"));
    ScopedCurrentDir inStart(start.Path());
    ASSERT_NE(OpenTestWindow(), nullptr);
    std::string error;
    ASSERT_TRUE(StartDemo(error)) << error;

    // The start view drawn with the lamp and without it: where they differ is the lamp.
    DrawDemoFrom({0.0f, 5.0f, 0.0f}, 0.0f, 0.0f);
    const DisplayPicture withLamp;
    const Model lamp = g_ModelEntity.model;
    g_ModelEntity.model = Model{};
    DrawDemoFrom({0.0f, 5.0f, 0.0f}, 0.0f, 0.0f);
    const DisplayPicture withoutLamp;
    g_ModelEntity.model = lamp;

    int pixels = 0, darkest = 255, brightest = 0;
    std::set<int> shades;           // luminance in steps of 8
    for (int y = 40; y < 440; ++y)  // clear of the overlay's texts, which may change between frames
        for (int x = 0; x < kDisplayWidth; ++x) {
            const Rgb a = withLamp.At(x, y), b = withoutLamp.At(x, y);
            if (a.r == b.r && a.g == b.g && a.b == b.b) continue;
            const int luminance = (a.r * 30 + a.g * 59 + a.b * 11) / 100;
            ++pixels;
            darkest = std::min(darkest, luminance);
            brightest = std::max(brightest, luminance);
            shades.insert(luminance / 8);
        }
    EXPECT_GT(pixels, 4000) << "the lamp stands large in the first view";
    EXPECT_LT(darkest, 40) << "sides turned from the light are dark";
    EXPECT_GT(brightest, 225) << "the bulb glows";
    EXPECT_GE(shades.size(), 20u) << "shading runs through many tones, not a few flat colours";
}

}  // namespace
