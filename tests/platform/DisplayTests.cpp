// The display-mode switch, the GL context on the window and the virtual
// 640x480 display, on Xvfb with Mesa.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "platform/display/Gl.h"
#include "platform/display/GlContext.h"
#include "platform/display/PictureScaler.h"
#include "platform/display/VirtualDisplay.h"
#include "platform/window/Window.h"
#include "platform/window/WindowObject.h"
#include "support/observe/TestWindow.h"
#include "support/stand-ins/TestSeam.h"

// Last: Xlib's macros (None among them) would rename the engine's names.
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

DEVMODEA Mode(DWORD width, DWORD height, DWORD bits) {
    return DEVMODEA{sizeof(DEVMODEA), DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT, bits, width, height};
}

const PIXELFORMATDESCRIPTOR kDescriptor = {
    40, 1, PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER, PFD_TYPE_RGBA, 16, 16};

class DisplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        seam::Reset();
        window = OpenTestWindow();
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override {
        if (context) {
            wglMakeCurrent(nullptr, nullptr);
            wglDeleteContext(context);
        }
        ChangeDisplaySettingsA(nullptr, 0);
        seam::Reset();
    }

    // The renderer's way in: full-screen mode, then a current context.
    void StartContext() {
        DEVMODEA mode = Mode(640, 480, 16);
        ASSERT_EQ(ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN), DISP_CHANGE_SUCCESSFUL);
        dc = GetDC(window);
        ASSERT_NE(dc, nullptr);
        int format = ChoosePixelFormat(dc, &kDescriptor);
        ASSERT_NE(format, 0);
        ASSERT_TRUE(SetPixelFormat(dc, format, &kDescriptor));
        context = wglCreateContext(dc);
        ASSERT_NE(context, nullptr);
        ASSERT_TRUE(wglMakeCurrent(dc, context));
    }

    HWND window = nullptr;
    HDC dc = nullptr;
    HGLRC context = nullptr;
};

TEST_F(DisplayTest, OnlyTheEnginesModeIsOffered) {
    DEVMODEA other = Mode(800, 600, 16);
    EXPECT_EQ(ChangeDisplaySettingsA(&other, CDS_FULLSCREEN), DISP_CHANGE_BADMODE);
    DEVMODEA deeper = Mode(640, 480, 32);
    EXPECT_EQ(ChangeDisplaySettingsA(&deeper, CDS_FULLSCREEN), DISP_CHANGE_BADMODE);
    EXPECT_FALSE(VirtualDisplaySelected());
    DEVMODEA engine = Mode(640, 480, 16);
    EXPECT_EQ(ChangeDisplaySettingsA(&engine, CDS_FULLSCREEN), DISP_CHANGE_SUCCESSFUL);
    EXPECT_TRUE(VirtualDisplaySelected());
    EXPECT_EQ(ChangeDisplaySettingsA(nullptr, 0), DISP_CHANGE_SUCCESSFUL);
    EXPECT_FALSE(VirtualDisplaySelected());
}

TEST_F(DisplayTest, DrawingGoesToThe640By480Picture) {
    StartContext();
    GLint viewport[4];
    glViewport(0, 0, 640, 480);
    glGetIntegerv(GL_VIEWPORT, viewport);
    glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);  // a green square in the top-left corner (GL's y points up)
    glScissor(0, 480 - 10, 10, 10);
    glClearColor(0.0f, 1.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);

    auto pixels = ReadDisplayPixels();
    ASSERT_EQ(pixels.size(), 640u * 480u * 3u);
    auto at = [&](int x, int y) { return &pixels[(y * 640 + x) * 3]; };
    EXPECT_EQ(at(0, 0)[1], 255) << "row 0 is the top of the picture";
    EXPECT_EQ(at(639, 479)[0], 255);
    EXPECT_EQ(at(639, 479)[1], 0);
    GLint redBits = 0, greenBits = 0;
    glGetIntegerv(GL_RED_BITS, &redBits);
    glGetIntegerv(GL_GREEN_BITS, &greenBits);
    EXPECT_EQ(redBits, 5);
    EXPECT_EQ(greenBits, 6);
}

// White with a red square, a blue column and a green row: edges the scaling
// has to blend.
void DrawPattern() {
    glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
    const struct {
        GLint x, y;
        GLsizei w, h;
        GLfloat r, g, b;
    } areas[] = {{0, 470, 10, 10, 1, 0, 0}, {300, 0, 3, 480, 0, 0, 1}, {0, 200, 640, 1, 0, 1, 0}};
    for (const auto& area : areas) {
        glScissor(area.x, area.y, area.w, area.h);
        glClearColor(area.r, area.g, area.b, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    glDisable(GL_SCISSOR_TEST);
}

TEST_F(DisplayTest, ThePictureKeeps4To3WithBlackBars) {
    EXPECT_EQ(PictureRectInWindow(1280, 720).x, 160);
    EXPECT_EQ(PictureRectInWindow(1280, 720).w, 960);
    EXPECT_EQ(PictureRectInWindow(640, 960).y, 240);  // a tall window: bars above and below
    EXPECT_EQ(PictureRectInWindow(640, 960).h, 480);

    seam::ArmFailure("ShmPresent.Open", 0);  // composed by GL, as on a graphics card
    StartContext();
    ASSERT_FALSE(WindowImageMadeOnProcessor());
    DrawPattern();
    glClearColor(0.5f, 1.0f, 0.5f, 1.0f);
    ComposeWindowImage();
    // Read the window's own back buffer, where the composed image is.
    std::vector<std::uint8_t> window(1280 * 720 * 3);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, 1280, 720, GL_RGB, GL_UNSIGNED_BYTE, window.data());
    auto at = [&](int x, int yFromTop, int channel) { return window[((719 - yFromTop) * 1280 + x) * 3 + channel]; };
    EXPECT_EQ(at(159, 360, 0), 0) << "left bar";
    EXPECT_EQ(at(161, 360, 0), 255) << "picture";
    EXPECT_EQ(at(1118, 360, 0), 255) << "picture";
    EXPECT_EQ(at(1121, 360, 0), 0) << "right bar";
    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ(clear[0], 0.5f) << "the renderer's clear colour is left as it was";

    // The processor's scaling of the same picture gives GL's image.
    const std::vector<std::uint8_t> rgb = ReadDisplayPixels();
    std::vector<std::uint16_t> picture(640 * 480);  // back to RGB565, rows from the bottom
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            const std::uint8_t* pixel = &rgb[(y * 640 + x) * 3];
            picture[(479 - y) * 640 + x] =
                static_cast<std::uint16_t>((pixel[0] >> 3) << 11 | (pixel[1] >> 2) << 5 | pixel[2] >> 3);
        }
    std::vector<std::uint8_t> scaled(960 * 720 * 4);
    PictureScaler scaler;
    scaler.Scale(picture.data(), 960, 720, scaled.data(), 960 * 4);
    int largest = 0, blended = 0;
    for (int y = 0; y < 720; ++y)
        for (int x = 0; x < 960; ++x)
            for (int channel = 0; channel < 3; ++channel) {
                const int ours = scaled[(y * 960 + x) * 4 + 2 - channel];  // blue, green, red
                const int gl = at(160 + x, y, channel);
                largest = std::max(largest, std::abs(ours - gl));
                blended += gl != 0 && gl != 255;
            }
    EXPECT_LE(largest, 1);
    EXPECT_GT(blended, 1000) << "the pattern's edges are blended";
}

TEST(PictureScalerTest, AnOddWidthEndsOnTheRowsLastTexelAndWritesNothingPastIt) {
    // Black rows whose last texel is white, scaled to an odd width, two
    // pixels at a time; each image row is followed by bytes it must not touch.
    std::vector<std::uint16_t> picture(640 * 480, 0);
    for (int y = 0; y < 480; ++y) picture[y * 640 + 639] = 0xffff;
    constexpr int kWidth = 1281, kStride = (kWidth + 2) * 4;
    std::vector<std::uint8_t> image(kStride * 3, 0xab);
    PictureScaler().Scale(picture.data(), kWidth, 3, image.data(), kStride);
    for (int y = 0; y < 3; ++y) {
        const std::uint8_t* row = &image[y * kStride];
        EXPECT_EQ(std::vector<int>(row + (kWidth - 1) * 4, row + kWidth * 4), (std::vector<int>{255, 255, 255, 0}));
        EXPECT_EQ(std::vector<int>(row, row + 4), (std::vector<int>{0, 0, 0, 0}));
        EXPECT_EQ(std::count(row + kWidth * 4, row + kStride, 0xab), 8) << "row " << y;
    }
}

TEST(PictureScalerTest, EveryBandIsWrittenWhenScaleReturns) {
    // The helper thread's bands too: each row of an image refilled before
    // each scaling has its first byte written at once (looked at quickly,
    // before a band still being made would be done), time after time.
    const std::vector<std::uint16_t> picture(640 * 480, 0xffff);
    constexpr int kWidth = 1440, kHeight = 1080;
    std::vector<std::uint8_t> image(kWidth * kHeight * 4);
    PictureScaler scaler;
    for (int time = 0; time < 100; ++time) {
        std::fill(image.begin(), image.end(), 0xab);
        scaler.Scale(picture.data(), kWidth, kHeight, image.data(), kWidth * 4);
        int unwritten = 0;
        for (int y = 0; y < kHeight; ++y) unwritten += image[y * kWidth * 4] == 0xab;
        ASSERT_EQ(unwritten, 0) << "time " << time;
    }
}

TEST_F(DisplayTest, ASoftwareRasterisersPresentsReachTheWindowThroughSharedMemory) {
    StartContext();
    ASSERT_TRUE(WindowImageMadeOnProcessor()) << "Mesa's software rasteriser on X11 with MIT-SHM";
    DrawPattern();
    ASSERT_TRUE(SwapBuffers(dc));

    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    ASSERT_TRUE(SDL_GetWindowWMInfo(window->sdl, &info));
    XImage* image = XGetImage(info.info.x11.display, info.info.x11.window, 0, 0, 1280, 720, AllPlanes, ZPixmap);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(XGetPixel(image, 159, 360), 0u) << "left bar";
    EXPECT_EQ(XGetPixel(image, 1121, 360), 0u) << "right bar";
    EXPECT_EQ(XGetPixel(image, 600, 360), 0xffffffu) << "picture";
    EXPECT_EQ(XGetPixel(image, 165, 5), 0xff0000u) << "the red square at the picture's top left";
    EXPECT_EQ(XGetPixel(image, 160 + 301 * 3 / 2, 700), 0x0000ffu) << "the blue column";
    XDestroyImage(image);
}

TEST_F(DisplayTest, PresentsArePacedToSixtyASecond) {
    StartContext();
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 61; ++i) EXPECT_TRUE(SwapBuffers(dc));
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // 61 presents span at least 60 refresh periods; the upper bound only
    // catches a pacing that waits far too long.
    EXPECT_GE(seconds, 0.95);
    EXPECT_LT(seconds, 10.0);
}

TEST(RefreshScheduleTest, HoldsSixtyASecondWithoutLosingFramesToThePacing) {
    using std::chrono::milliseconds;
    constexpr auto kPeriod = RefreshSchedule::kPeriod;
    RefreshSchedule schedule;
    const RefreshSchedule::Clock::time_point start{std::chrono::seconds(100)};
    EXPECT_EQ(schedule.Next(start), start) << "the first present shows at once";
    EXPECT_EQ(schedule.Next(start + milliseconds(5)), start + kPeriod) << "a quick frame waits for its slot";

    // Frames of 15 and 18 ms in turn, 16.5 on average: every one keeps to the slots.
    auto now = start + kPeriod;
    for (int frame = 0; frame < 120; ++frame) {
        now += milliseconds(frame % 2 ? 18 : 15);
        now = std::max(now, schedule.Next(now));
    }
    EXPECT_LE(now - start, 123 * kPeriod) << "about 60 a second, not fewer";

    // Frames of 17 ms never wait: 59 a second, not 30.
    for (int frame = 0; frame < 60; ++frame) {
        now += milliseconds(17);
        EXPECT_EQ(schedule.Next(now), now);
    }

    // After a stall the slots start afresh: no burst of frames to catch up.
    now += milliseconds(200);
    EXPECT_EQ(schedule.Next(now), now);
    EXPECT_EQ(schedule.Next(now + milliseconds(1)), now + kPeriod);
}

TEST_F(DisplayTest, EachContextStepReportsItsArmedFailure) {
    dc = GetDC(window);
    ASSERT_NE(dc, nullptr);
    seam::ArmFailure("GetDC", 0);
    EXPECT_EQ(GetDC(window), nullptr);
    seam::ArmFailure("ChoosePixelFormat", 0);
    EXPECT_EQ(ChoosePixelFormat(dc, &kDescriptor), 0);
    EXPECT_FALSE(SetPixelFormat(dc, 7, &kDescriptor)) << "an unknown format";
    EXPECT_EQ(wglCreateContext(dc), nullptr) << "no pixel format set yet";
    ASSERT_TRUE(SetPixelFormat(dc, ChoosePixelFormat(dc, &kDescriptor), &kDescriptor));
    seam::ArmFailure("wglCreateContext", 0);
    EXPECT_EQ(wglCreateContext(dc), nullptr);
    context = wglCreateContext(dc);
    ASSERT_NE(context, nullptr);
    seam::ArmFailure("wglMakeCurrent", 0);
    EXPECT_FALSE(wglMakeCurrent(dc, context));
    EXPECT_TRUE(wglMakeCurrent(dc, context));
    seam::ArmFailure("ReleaseDC", 0);
    EXPECT_EQ(ReleaseDC(window, dc), 0);
    EXPECT_EQ(ReleaseDC(window, dc), 1);
}

}  // namespace
