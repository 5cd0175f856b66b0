// The Direct3D-style renderer on a real window, Xvfb and Mesa, its pictures
// read back from the virtual display.
#include "globals/Globals.h"
#include "support/observe/D3DRendererFixture.h"

namespace {

TEST_F(D3DRendererTest, EachInitializeFailureLeavesItsText) {
    struct Step {
        const char* call;
        HRESULT result;
        int times;
        const char* text;
    };
    const Step steps[] = {
        {"DirectDrawCreateEx", DDERR_GENERIC, 1, "Could not create a DirectDraw object."},
        {"SetCooperativeLevel", DDERR_GENERIC, 1, "Could not set the DirectDraw cooperative level requested."},
        {"SetDisplayMode", DDERR_INVALIDMODE, 1, "Could not set the requested display mode."},
        {"CreateSurface primary", DDERR_OUTOFVIDEOMEMORY, 1, "Could not create a primary surface."},
        {"GetAttachedSurface", DDERR_NOTFOUND, 1, "Could not retrieve a pointer to attached surface."},
        // Anything but plain success fails, even a result that is no failure by its sign.
        {"QueryInterface", S_FALSE, 1, "Could not retrieve a pointer to Direct3D."},
        {"CreateDevice", DDERR_NO3D, 2, "No suitable device available."},
        // A driver whose z-buffer formats all have a stencil part.
        {"EnumZBufferFormats.onlyStencil", 1, 1, "No suitable z-buffer available."},
        {"CreateSurface z-buffer", DDERR_NOZBUFFERHW, 1,
         "Could not create the z-buffer: Hardware z-buffering is unsupported on this video card."},
        {"CreateSurface z-buffer", DDERR_OUTOFVIDEOMEMORY, 1,
         "Could not create the z-buffer: Not enough video memory."},
        {"CreateSurface z-buffer", DDERR_GENERIC, 1,
         "Could not create the z-buffer: An unusual error has occurred. Please phone tech. support."},
        {"AddAttachedSurface", DDERR_SURFACEALREADYATTACHED, 1, "Could not add attached surface."},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.text);
        D3DRenderer failing;
        seam::ArmFailure(step.call, step.result, step.times);
        EXPECT_FALSE(failing.Initialize());
        EXPECT_STREQ(g_ErrorText, step.text);
        failing.Shutdown();  // the objects made before the failure, so the next step starts afresh
    }
}

TEST_F(D3DRendererTest, WithoutTheHardwareDeviceTheSoftwareDeviceAndItsZBufferFormatsAreUsed) {
    EXPECT_TRUE(renderer.IsHardware()) << "until a start falls back";
    seam::ArmFailure("CreateDevice", DDERR_NO3D);  // fails here even where the GL is accelerated
    seam::StartRecording();
    ASSERT_TRUE(renderer.Initialize()) << g_ErrorText;
    EXPECT_FALSE(renderer.IsHardware());
    std::vector<std::string> devices;
    for (const auto& call : seam::Calls())
        if (call.name == "CreateDevice" || call.name == "EnumZBufferFormats")
            devices.push_back(call.name + "(" + call.args + ")");
    EXPECT_EQ(devices, (std::vector<std::string>{"CreateDevice(hardware)", "CreateDevice(software)",
                                                 "EnumZBufferFormats(software)"}));
    // The software device's list leads with a stencil format, then 16 bits;
    // the hardware device's would have given 24.
    const DDPIXELFORMAT zFormat = SurfaceZFormat(renderer.zBuffer);
    EXPECT_EQ(zFormat.dwFlags, DDPF_ZBUFFER);
    EXPECT_EQ(zFormat.dwZBitMask, 0xFFFFu);
    GLint depthBits = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    EXPECT_EQ(depthBits, 16);
}

TEST_F(D3DRendererTest, SetupGivesTheProjectionAndEveryStateInOrder) {
    ASSERT_TRUE(renderer.Initialize()) << g_ErrorText;
    seam::StartRecording();
    ASSERT_TRUE(renderer.Setup());

    for (int i = 0; i < 16; ++i) {
        const float expected = i == 0    ? 1.1f
                               : i == 5  ? 1.5f
                               : i == 10 ? 0.8509886f
                               : i == 11 ? 0.8509035f
                               : i == 14 ? -0.08509886f
                                         : 0.0f;
        EXPECT_NEAR(renderer.projection.m[i], expected, 2e-6) << "element " << i;
    }
    std::vector<std::string> calls;
    for (const auto& call : seam::Calls()) calls.push_back(call.args.empty() ? call.name : call.name + " " + call.args);
    EXPECT_EQ(calls, (std::vector<std::string>{"SetViewport",
                                               "SetTransform projection",
                                               "SetRenderState 7=1",
                                               "SetRenderState 14=1",
                                               "SetRenderState 22=3",
                                               "SetRenderState 29=1",
                                               "SetRenderState 31=1",
                                               "SetRenderState 4=1",
                                               "SetRenderState 15=1",
                                               "SetRenderState 25=7",
                                               "SetTextureStageState 0:16=5",
                                               "SetTextureStageState 0:17=3",
                                               "SetTextureStageState 0:18=3",
                                               "SetRenderState 2=2",
                                               "SetTextureStageState 0:2=2",
                                               "SetTextureStageState 0:1=2",
                                               "SetTextureStageState 1:2=2",
                                               "SetTextureStageState 1:3=1",
                                               "SetTextureStageState 1:1=4",
                                               "SetTextureStageState 1:11=1",
                                               "SetTextureStageState 2:2=1",
                                               "SetTextureStageState 2:3=0",
                                               "SetTextureStageState 2:1=4",
                                               "SetMaterial",
                                               "SetRenderState 137=1",
                                               "SetRenderState 139=4294967295"}));
}

TEST_F(D3DRendererTest, OnlyAFailingViewportFailsSetup) {
    ASSERT_TRUE(renderer.Initialize()) << g_ErrorText;
    seam::ArmFailure("SetViewport", DDERR_INVALIDPARAMS);
    EXPECT_FALSE(renderer.Setup());
    EXPECT_STREQ(g_ErrorText, "Could not set the viewport.");
}

TEST_F(D3DRendererTest, SetMatrixSetsOnlyTheDevicesTransformOfItsKind) {
    Start();
    Load(Lightmap(0), "lm.bmp", Solid(kWhite));
    auto square = Square(10.0f, 1.0f, 0, &blank, false);
    const Matrix right = MakeTranslation(3.0f, 0.0f, 0.0f);

    seam::StartRecording();
    renderer.SetMatrix(static_cast<MatrixKind>(3), right);
    renderer.SetMatrix(static_cast<MatrixKind>(255), right);
    EXPECT_TRUE(seam::Calls().empty()) << "an unknown kind reaches no transform";
    DrawScene(square);
    EXPECT_TRUE(DisplayPicture().IsWhite(320, 240));

    renderer.SetMatrix(MatrixKind::World, right);
    DrawScene(square);
    DisplayPicture moved;
    EXPECT_TRUE(moved.IsBlack(320, 240));
    EXPECT_TRUE(moved.IsWhite(444, 240)) << "3 units right at depth 10";

    Matrix current;
    renderer.GetCurrentMatrix(&current);
    const Matrix identity = MakeIdentity();
    EXPECT_EQ(std::memcmp(&current, &identity, sizeof current), 0) << "the frame's identity stays current";
}

TEST_F(D3DRendererTest, PushAndPopRestoreTheCurrentMatrix) {
    Start();  // the frame made the current matrix the identity
    const Matrix identity = MakeIdentity();
    const Matrix moved = MakeTranslation(5.0f, 6.0f, 7.0f);
    renderer.PushMatrix();
    renderer.world = moved;
    renderer.PushMatrix();
    renderer.world = MakeZero();
    Matrix current;
    renderer.PopMatrix();
    renderer.GetCurrentMatrix(&current);
    EXPECT_EQ(std::memcmp(&current, &moved, sizeof current), 0);
    renderer.PopMatrix();
    renderer.GetCurrentMatrix(&current);
    EXPECT_EQ(std::memcmp(&current, &identity, sizeof current), 0);
    renderer.PopMatrix();  // an empty stack leaves it as it is
    renderer.GetCurrentMatrix(&current);
    EXPECT_EQ(std::memcmp(&current, &identity, sizeof current), 0);
}

TEST_F(D3DRendererTest, TheCrosshairIsTwoWhiteRectanglesAtTheCentre) {
    Start();
    DisplayPicture picture;
    for (int y = 226; y < 256; ++y)
        for (int x = 306; x < 336; ++x) {
            const bool crosshair = (y == 240 && x >= 316 && x < 325) || (x == 320 && y >= 236 && y < 245);
            EXPECT_TRUE(crosshair ? picture.IsWhite(x, y) : picture.IsBlack(x, y)) << x << ", " << y;
        }
}

TEST_F(D3DRendererTest, TheOverlayTextsLieInTheirBoxes) {
    Start();
    struct Box {
        int left, top, right, bottom;
        int white = 0;
    };
    // About 9 pixels a character at most, one 16-pixel line (with a little room below).
    Box boxes[] = {{290, 10, 290 + 9 * 6, 28},  // "FPS: 0"
                   {10, 10, 10 + 9 * 20, 28},   // "Polygons Rendered: 0"
                   {380, 450, 640, 468}};       // the banner
    const Box crosshair[] = {{316, 240, 325, 241}, {320, 236, 321, 245}};
    auto inside = [](const Box& box, int x, int y) {
        return x >= box.left && x < box.right && y >= box.top && y < box.bottom;
    };
    DisplayPicture picture;
    for (int y = 0; y < kDisplayHeight; ++y)
        for (int x = 0; x < kDisplayWidth; ++x) {
            if (picture.IsBlack(x, y) || inside(crosshair[0], x, y) || inside(crosshair[1], x, y)) continue;
            bool inABox = false;
            for (Box& box : boxes)
                if (inside(box, x, y)) {
                    inABox = true;
                    box.white += picture.IsWhite(x, y) ? 1 : 0;
                }
            EXPECT_TRUE(inABox) << "text outside its box at " << x << ", " << y;
        }
    for (const Box& box : boxes) EXPECT_GT(box.white, 15) << "box at " << box.left << ", " << box.top;
}

TEST_F(D3DRendererTest, TextLeavesTheSurfaceAroundItsLettersAsItWas) {
    Start();
    IDirectDrawSurface7* surface = nullptr;
    ASSERT_TRUE(renderer.CreateOffscreenSurface(&surface, 80, 30));
    constexpr std::uint16_t kBlue = 0x001F;
    renderer.FillRectangle(surface, nullptr, kBlue);
    ASSERT_EQ(renderer.DrawString(surface, "FPS: 60", 0, 0, 0x0000FF), DD_OK);  // red
    int blue = 0, red = 0;
    for (std::uint16_t pixel : *SurfacePixels(surface)) {
        blue += pixel == kBlue;
        red += pixel == 0xF800;
    }
    EXPECT_GT(red, 20);
    EXPECT_GT(blue, 80 * 30 / 2) << "no background box around the text";
    surface->Release();
}

TEST_F(D3DRendererTest, ThePictureTurnsWithThePlayersYawAndPitch) {
    Start();
    Load(Lightmap(0), "lm.bmp", Solid(kWhite));
    ExpectThePictureToFollowThePlayersView([&](const std::array<Polygon, 2>& square) {
        renderer.RenderFrame();  // the view from the player
        DrawScene(square);
    });
}

TEST_F(D3DRendererTest, AnUntexturedPolygonShowsItsLightmapUnchanged) {
    Start();
    const Rgb orange{255, 128, 0};
    Load(Lightmap(0), "lm.bmp", Solid(orange));
    DrawScene(Square(10.0f, 20.0f, 0, &blank, false));
    EXPECT_TRUE(Near(DisplayPicture().At(100, 100), As565(orange), 2));
}

TEST_F(D3DRendererTest, ATexturedPolygonShowsLightmapTimesTextureTheRightWayUp) {
    Start();
    const Rgb lightmap{255, 128, 255};
    Load(Lightmap(1), "lm.bmp", Solid(lightmap));
    // Quadrants: red, green above; blue, white below.
    const Rgb quadrants[2][2] = {{{255, 0, 0}, {0, 255, 0}}, {{0, 0, 255}, kWhite}};
    Texture texture;
    Load(texture, "tex.bmp", MakeBmp24(2, 2, [&](int x, int y) { return quadrants[y][x]; }));
    DrawScene(Square(10.0f, 4.0f, 1, &texture, true));

    DisplayPicture picture;
    const int xs[2] = {200, 440}, ys[2] = {120, 360};
    const Rgb shown = As565(lightmap);
    for (int row = 0; row < 2; ++row)
        for (int column = 0; column < 2; ++column) {
            const Rgb t = As565(quadrants[row][column]);
            const Rgb product{static_cast<std::uint8_t>(shown.r * t.r / 255),
                              static_cast<std::uint8_t>(shown.g * t.g / 255),
                              static_cast<std::uint8_t>(shown.b * t.b / 255)};
            EXPECT_TRUE(Near(picture.At(xs[column], ys[row]), product, 9)) << "quadrant " << row << ", " << column;
        }
    texture.surface->Release();
}

TEST_F(D3DRendererTest, ALightmapIndexOnAFreeEntryDrawsTheTextureAlone) {
    Start();
    const Rgb teal{0, 128, 128};
    Texture texture;
    Load(texture, "tex.bmp", Solid(teal));
    DrawScene(Square(10.0f, 20.0f, 5, &texture, true));
    EXPECT_TRUE(Near(DisplayPicture().At(320, 100), As565(teal), 2));
    texture.surface->Release();
}

TEST_F(D3DRendererTest, ShutdownReleasesInOrderAndReturnsTheDisplay) {
    Start();
    Load(Lightmap(0), "lm0.bmp", Solid(kWhite));
    Load(Lightmap(1), "lm1.bmp", Solid(kWhite));
    seam::StartRecording();
    EXPECT_TRUE(renderer.Shutdown());
    std::vector<std::string> released;
    for (const auto& call : seam::Calls())
        if (call.name == "Release") released.push_back(call.args);
    EXPECT_EQ(released, (std::vector<std::string>{"device", "Direct3D", "texture", "texture", "texture", "z-buffer",
                                                  "back buffer", "primary", "display"}));
    EXPECT_EQ(renderer.lightmapTable, nullptr);
    EXPECT_EQ(renderer.device, nullptr);
    EXPECT_EQ(renderer.directDraw, nullptr);
    EXPECT_FALSE(VirtualDisplaySelected());

    g_pBlankTexture = nullptr;  // its surface is gone; the next renderer has none
    D3DRenderer again;          // everything was let go: the display can be taken once more
    EXPECT_TRUE(again.Initialize()) << g_ErrorText;
    again.Shutdown();
}

TEST_F(D3DRendererTest, AFrameWhoseFlipFailsEndsTheMainLoop) {
    TempDir tmp;
    setenv("TMPDIR", tmp.Path().c_str(), 1);
    ScopedCurrentDir inDir(dir.Path());
    WriteTestAssetPack(dir.File("Orvanthelix.zar"), {{"LEVELTEST", kFloorLevel}});
    g_TestRenderer = &renderer;
    seam::ArmFailure("Flip", DDERR_SURFACELOST);
    seam::StartRecording();
    EXPECT_EQ(WinMain(nullptr, nullptr, nullptr, 0), 0);
    const auto names = seam::CallNames();
    EXPECT_EQ(std::count(names.begin(), names.end(), "Flip"), 1);
    EXPECT_EQ(renderer.directDraw, nullptr) << "shut down after the loop";
    delete g_pBlankTexture;  // the level made it; the teardown only lets go of the fixture's own
    g_TestRenderer = nullptr;
    unsetenv("TMPDIR");
}

}  // namespace
