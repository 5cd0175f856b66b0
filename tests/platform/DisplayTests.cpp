// The display-mode switch, the GL context on the window and the virtual
// 640x480 display, on Xvfb with Mesa.
#include <gtest/gtest.h>

#include <chrono>

#include "../support/TestSeam.h"
#include "platform/Gl.h"
#include "platform/GlContext.h"
#include "platform/VirtualDisplay.h"
#include "platform/Window.h"
#include "support/TestWindow.h"

namespace {

DEVMODEA Mode(DWORD width, DWORD height, DWORD bits) {
    return DEVMODEA{sizeof(DEVMODEA), DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT, bits, width, height};
}

const PIXELFORMATDESCRIPTOR kDescriptor = {40, 1, PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER,
                                           PFD_TYPE_RGBA, 16, 16};

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
    EXPECT_FALSE(display::IsSelected());
    DEVMODEA engine = Mode(640, 480, 16);
    EXPECT_EQ(ChangeDisplaySettingsA(&engine, CDS_FULLSCREEN), DISP_CHANGE_SUCCESSFUL);
    EXPECT_TRUE(display::IsSelected());
    EXPECT_EQ(ChangeDisplaySettingsA(nullptr, 0), DISP_CHANGE_SUCCESSFUL);
    EXPECT_FALSE(display::IsSelected());
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

    auto pixels = display::ReadPixels();
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

TEST_F(DisplayTest, ThePictureKeeps4To3WithBlackBars) {
    EXPECT_EQ(display::PictureRect(1280, 720).x, 160);
    EXPECT_EQ(display::PictureRect(1280, 720).w, 960);
    EXPECT_EQ(display::PictureRect(640, 960).y, 240);  // a tall window: bars above and below
    EXPECT_EQ(display::PictureRect(640, 960).h, 480);

    StartContext();
    glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    display::ComposeWindowImage();
    // Read the window's own back buffer, where the composed image is.
    std::vector<std::uint8_t> row(1280 * 3);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 360, 1280, 1, GL_RGB, GL_UNSIGNED_BYTE, row.data());
    EXPECT_EQ(row[159 * 3], 0) << "left bar";
    EXPECT_EQ(row[161 * 3], 255) << "picture";
    EXPECT_EQ(row[1118 * 3], 255) << "picture";
    EXPECT_EQ(row[1121 * 3], 0) << "right bar";
    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ(clear[1], 1.0f) << "the renderer's clear colour is left as it was";
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
