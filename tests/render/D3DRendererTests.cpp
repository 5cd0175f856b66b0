// The Direct3D-style renderer on a real window, Xvfb and Mesa, its pictures
// read back from the virtual display.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "../support/TestSeam.h"
#include "app/WinMain.h"
#include "globals/Globals.h"
#include "level/Bsp.h"
#include "model/Entity.h"
#include "platform/display/VirtualDisplay.h"
#include "platform/graphics/SurfaceContents.h"
#include "player/Player.h"
#include "render/d3d/D3DRenderer.h"
#include "support/AssetPack.h"
#include "support/Bmp.h"
#include "support/LevelFiles.h"
#include "support/ModelText.h"
#include "support/TempDir.h"
#include "support/TestRendererChoice.h"
#include "support/TestWindow.h"

namespace {

constexpr Rgb kWhite{255, 255, 255};

std::string Solid(Rgb colour) {
    return MakeBmp24(4, 4, [=](int, int) { return colour; });
}

// A square of side 2 * half across the view axis at depth z, facing a camera
// at the origin that looks along +z.
std::array<Polygon, 2> Square(float z, float half, std::int32_t lightmapIndex, Texture* texture, bool textured) {
    return FacingSquare({0, 0, z}, {half, 0, 0}, {0, half, 0}, lightmapIndex, texture, textured);
}

// The renderer, noting each polygon handed to it among the calls the seam
// records, so a test sees what was drawn between which state changes.
class NotingRenderer : public D3DRenderer {
public:
    HRESULT DrawPolygon(Polygon polygon) override {
        seam::Record("DrawPolygon");
        return D3DRenderer::DrawPolygon(polygon);
    }
};

class D3DRendererTest : public ::testing::Test {
protected:
    void SetUp() override {
        seam::Reset();
        ASSERT_NE(OpenTestWindow(), nullptr);
        g_Player = {};
        g_pRenderer = &renderer;
        std::memset(g_ErrorText, 0, sizeof g_ErrorText);
    }
    void TearDown() override {
        // Once shut down, the blank texture's surface is gone: no second release.
        if (renderer.directDraw) renderer.Shutdown();
        g_pRenderer = nullptr;
        g_pBlankTexture = nullptr;
        g_Window = nullptr;
        seam::Reset();
    }

    // The renderer started as the program starts it, a lightmap table and a
    // white blank texture in place, and one frame drawn from the origin.
    void Start() {
        ASSERT_TRUE(renderer.Initialize()) << g_ErrorText;
        ASSERT_TRUE(renderer.Setup());
        renderer.lightmapTable = new LightmapTable{};
        Load(blank, "lmblank.bmp", Solid(kWhite));
        g_pBlankTexture = &blank;
        renderer.RenderFrame();
    }

    // Fills a texture from a BMP file the way the level does.
    void Load(Texture& texture, const std::string& name, const std::string& bmp) {
        std::string file = dir.Write(name, bmp);
        int width = 0, height = 0;
        ASSERT_TRUE(renderer.ReadImageSize(file.c_str(), &width, &height));
        renderer.CreateTexture(&texture, width, height, 0);
        ASSERT_EQ(renderer.LoadTexture(&texture, file.c_str(), width, height), DD_OK);
    }

    Texture& Lightmap(int index) { return renderer.lightmapTable->entries[index]; }

    // A frame's scene holding only these polygons, drawn as the level's are.
    void DrawScene(const std::vector<Polygon>& polygons) {
        renderer.FillRectangle(renderer.backBuffer, nullptr, 0);
        renderer.device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        renderer.device->BeginScene();
        for (const Polygon& polygon : polygons) renderer.DrawPolygon(polygon);
        renderer.device->EndScene();
    }
    void DrawScene(const std::array<Polygon, 2>& square) {
        DrawScene(std::vector<Polygon>(square.begin(), square.end()));
    }

    TempDir dir;
    NotingRenderer renderer;
    Texture blank;
};

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
    renderer.SetMatrix(3, right);
    renderer.SetMatrix(255, right);
    EXPECT_TRUE(seam::Calls().empty()) << "an unknown kind reaches no transform";
    DrawScene(square);
    EXPECT_TRUE(DisplayPicture().IsWhite(320, 240));

    renderer.SetMatrix(2, right);
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
    g_TestRenderer = nullptr;
    unsetenv("TMPDIR");
}

// The renderer with a level loaded as the program loads it, from files in
// the test's directory, and the camera where the player starts.
class D3DLevelTest : public D3DRendererTest {
protected:
    void TearDown() override {
        g_Bsp.FreeTree(&g_Bsp.root);
        g_ModelEntity.SetModel(Model{});
        D3DRendererTest::TearDown();
    }

    void StartWithLevel(const std::string& level) {
        Start();
        dir.Write("test.bsp", level);
        ASSERT_TRUE(g_Bsp.Load("Test.bsp"));
        g_Player.position = {0.0f, 5.0f, 0.0f};
    }

    // One part, placed by the entity.
    void PlaceModel(const std::vector<PartText>& parts, Vector position, float yaw = 0.0f) {
        dir.Write("test.mdl", ModelText(parts));
        Model model;
        ASSERT_TRUE(model.Load("Test.mdl"));
        g_ModelEntity.SetModel(model);
        g_ModelEntity.position = position;
        g_ModelEntity.yaw = yaw;
    }

    ScopedCurrentDir inDir{dir.Path()};
};

// The floor plane y = 0, normal up: the cell above it is the camera's.
const std::array<Vector, 3> kFloor = {Vector{0, 0, 0}, Vector{0, 0, 1}, Vector{1, 0, 0}};

// A model polygon record facing -z: 15 floats (x y z u v) and a name.
std::vector<std::string> ModelSquare(float half) {
    const std::string h = std::to_string(half), m = std::to_string(-half);
    return {m + " " + m + " 0 0 1  " + m + " " + h + " 0 0 0  " + h + " " + m + " 0 1 1 lm",
            m + " " + h + " 0 0 0  " + h + " " + h + " 0 1 0  " + h + " " + m + " 0 1 1 lm"};
}

TEST_F(D3DLevelTest, TheModelIsHiddenBehindALevelWallAndSeenInOpenSpace) {
    dir.Write("wall-lm.bmp", Solid(kWhite));
    dir.Write("red.bmp", Solid({255, 0, 0}));
    // A red wall 10 ahead of the camera, over the left half of the view.
    StartWithLevel(ConvexCellLevel({kFloor}, QuadRecords({-10, 5, 10}, {10, 0, 0}, {0, 15, 0}, "wall-lm", "red")));

    struct Placement {
        Vector position;
        int x;  // where its middle lands on screen
        bool seen;
        const char* what;
    } placements[] = {
        {{-3, 5, 20}, 258, false, "behind the wall"},
        {{-1.5f, 5, 8}, 242, true, "in front of the wall"},
        {{3, 5, 20}, 382, true, "in open space"},
    };
    for (const Placement& placement : placements) {
        SCOPED_TRACE(placement.what);
        PlaceModel({PartText{"square", "none", "0 0 0", "0 0 0", ModelSquare(1.0f)}}, placement.position);
        renderer.RenderFrame();
        DisplayPicture picture;
        // The model is white: lightmap entry 0, the wall's, times the blank texture.
        EXPECT_EQ(picture.IsWhite(placement.x, 252), placement.seen);
        EXPECT_TRUE(Near(picture.At(100, 252), As565({255, 0, 0}), 0)) << "the wall";
        EXPECT_EQ(g_PolygonsRendered, 2) << "the model is not counted";
    }
}

TEST_F(D3DLevelTest, TheLevelIsDrawnWithoutDepthTestOrCullingAndTheModelWithBoth) {
    StartWithLevel(ConvexCellLevel({kFloor}, QuadRecords({0, 5, 10}, {1, 0, 0}, {0, 1, 0}, "lm")));
    PlaceModel({PartText{"square", "none", "0 0 0", "0 0 0", ModelSquare(1.0f)}}, {0, 5, 20});
    seam::StartRecording();
    renderer.RenderFrame();
    std::vector<std::string> calls;
    for (const auto& call : seam::Calls())
        if (call.name == "SetRenderState" || call.name == "DrawPolygon" || call.args == "world")
            calls.push_back(call.args.empty() ? call.name : call.name + " " + call.args);
    EXPECT_EQ(calls, (std::vector<std::string>{
                         "SetTransform world", "SetRenderState 23=8", "SetRenderState 22=1",  // always, none
                         "DrawPolygon", "DrawPolygon",                                        // the level
                         "SetRenderState 22=3", "SetRenderState 23=4",  // counter-clockwise culled, less-or-equal
                         "SetTransform world", "DrawPolygon", "DrawPolygon"}));  // the model
}

// The picture of a small textured, lightmapped room with a two-part model,
// seen from the player's start position, turned a little, against a stored
// reference at a quarter of the size. Catches transform, winding and depth
// regressions; the picture drawn is written to the build's tests directory.
TEST_F(D3DLevelTest, TheRoomLooksAsItsReferencePicture) {
    seam::SetTickCount(5000);  // time stands still: the overlay shows "FPS: 0"
    auto checker = [](Rgb a, Rgb b) {
        return MakeBmp24(8, 8, [=](int x, int y) { return (x / 2 + y / 2) % 2 ? a : b; });
    };
    auto gradient = [](int low, int high) {
        return MakeBmp24(8, 8, [=](int, int y) {
            const auto level = static_cast<std::uint8_t>(low + (high - low) * y / 7);
            return Rgb{level, level, level};
        });
    };
    dir.Write("floor.bmp", checker({200, 200, 200}, {60, 60, 160}));
    dir.Write("wall.bmp", checker({180, 120, 60}, {120, 60, 30}));
    dir.Write("door.bmp", MakeBmp24(4, 8, [](int x, int y) {
                  return y < 2 ? Rgb{0, 200, 0} : Rgb{uint8_t(60 * x), 0, 200};
              }));
    dir.Write("bright.bmp", gradient(255, 96));  // lit from above
    dir.Write("dim.bmp", gradient(160, 40));
    dir.Write("lmblank.bmp", Solid(kWhite));

    // x from -20 to 20, y from 0 to 20, z from -20 to 40; every normal points inwards.
    const std::vector<std::array<Vector, 3>> planes = {
        kFloor,
        {Vector{0, 20, 0}, Vector{1, 20, 0}, Vector{0, 20, 1}},
        {Vector{-20, 0, 0}, Vector{-20, 1, 0}, Vector{-20, 0, 1}},
        {Vector{20, 0, 0}, Vector{20, 0, 1}, Vector{20, 1, 0}},
        {Vector{0, 0, 40}, Vector{0, 1, 40}, Vector{1, 0, 40}},
        {Vector{0, 0, -20}, Vector{1, 0, -20}, Vector{0, 1, -20}},
    };
    std::vector<std::string> polygons;
    auto add = [&](std::vector<std::string> records) {
        polygons.insert(polygons.end(), records.begin(), records.end());
    };
    add(QuadRecords({0, 0, 10}, {20, 0, 0}, {0, 0, 30}, "bright", "floor", 6));
    add(QuadRecords({0, 20, 10}, {20, 0, 0}, {0, 0, -30}, "dim"));
    add(QuadRecords({0, 10, 40}, {20, 0, 0}, {0, 10, 0}, "bright", "wall", 3));
    add(QuadRecords({-20, 10, 10}, {0, 0, 30}, {0, 10, 0}, "dim", "wall", 3));
    add(QuadRecords({20, 10, 10}, {0, 0, -30}, {0, 10, 0}, "dim", "door", 1));
    add(QuadRecords({0, 10, -20}, {-20, 0, 0}, {0, 10, 0}, "bright", "wall", 3));
    StartWithLevel(ConvexCellLevel(planes, polygons));

    // A cube with a smaller cube above it, turned about its own upright.
    auto cube = [](float half) {
        std::vector<std::string> faces;
        const float h = half;
        const Vector axes[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
        for (int axis = 0; axis < 3; ++axis)
            for (float sign : {1.0f, -1.0f}) {
                // Seen from outside: `right` and `up` as a viewer facing this side sees them.
                Vector normal = {axes[axis].x * sign, axes[axis].y * sign, axes[axis].z * sign};
                Vector up = axis == 1 ? Vector{0, 0, sign} : Vector{0, 1, 0};
                Vector right = Cross(normal, up);  // Cross(up, right) = normal in the level's rule
                Vector centre = {normal.x * h, normal.y * h, normal.z * h};
                auto corner = [&](float a, float b) {
                    Vector p = {centre.x + (right.x * a + up.x * b) * h, centre.y + (right.y * a + up.y * b) * h,
                                centre.z + (right.z * a + up.z * b) * h};
                    return std::to_string(p.x) + " " + std::to_string(p.y) + " " + std::to_string(p.z) + " " +
                           std::to_string((a + 1) / 2) + " " + std::to_string((1 - b) / 2) + "  ";
                };
                faces.push_back(corner(-1, -1) + corner(-1, 1) + corner(1, -1) + "lm");
                faces.push_back(corner(-1, 1) + corner(1, 1) + corner(1, -1) + "lm");
            }
        return faces;
    };
    PlaceModel({PartText{"base", "none", "0 0 0", "0 0 0", cube(2.0f)},
                PartText{"top", "base", "0 3 0", "0 0.6 0", cube(1.0f)}},
               {3, 2, 14}, 0.4f);
    g_Player.yaw = 0.3f;
    g_Player.pitch = -0.15f;
    renderer.RenderFrame();

    // The picture at a quarter of its size, each pixel the mean of a 4 x 4 block.
    constexpr int kWidth = kDisplayWidth / 4, kHeight = kDisplayHeight / 4;
    DisplayPicture picture;
    std::string actual = "P6\n" + std::to_string(kWidth) + " " + std::to_string(kHeight) + "\n255\n";
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            int sum[3] = {};
            for (int dy = 0; dy < 4; ++dy)
                for (int dx = 0; dx < 4; ++dx) {
                    const Rgb c = picture.At(4 * x + dx, 4 * y + dy);
                    sum[0] += c.r;
                    sum[1] += c.g;
                    sum[2] += c.b;
                }
            for (int channel : sum) actual += static_cast<char>((channel + 8) / 16);
        }
    const std::string reference = TempDir::Read(REFERENCE_DIR "/room.ppm");
    const std::string written = ACTUAL_DIR "/room-actual.ppm";
    std::ofstream(written, std::ios::binary) << actual;  // for a look when they differ
    ASSERT_EQ(reference.size(), actual.size()) << "no reference picture to compare " << written << " with";
    // Rasterisers may differ along edges; a real regression moves whole regions.
    const std::size_t header = actual.size() - kWidth * kHeight * 3;
    int differingBlocks = 0;
    long totalDifference = 0;
    for (std::size_t i = header; i < actual.size(); i += 3) {
        int largest = 0;
        for (int channel = 0; channel < 3; ++channel) {
            const int difference = std::abs(static_cast<std::uint8_t>(actual[i + channel]) -
                                            static_cast<std::uint8_t>(reference[i + channel]));
            largest = std::max(largest, difference);
            totalDifference += difference;
        }
        differingBlocks += largest > 48 ? 1 : 0;
    }
    const double meanDifference = static_cast<double>(totalDifference) / (kWidth * kHeight * 3);
    EXPECT_LE(differingBlocks, kWidth * kHeight / 100) << "see " << written;
    EXPECT_LE(meanDifference, 4.0) << "see " << written;
}

}  // namespace
