// The OpenGL renderer on a real window, Xvfb and Mesa.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "globals/Globals.h"
#include "level/Bsp.h"
#include "platform/display/Gl.h"
#include "platform/display/VirtualDisplay.h"
#include "platform/window/Window.h"
#include "player/Player.h"
#include "render/gl/OpenGLRenderer.h"
#include "support/files/Bmp.h"
#include "support/files/LevelFiles.h"
#include "support/files/TempDir.h"
#include "support/observe/TestWindow.h"
#include "support/stand-ins/TestSeam.h"

namespace {

Vertex At(float x, float y, float z, float u = 0.5f, float v = 0.5f) { return Vertex{{x, y, z}, {u, v}, {0, 0}}; }

class OpenGLRendererTest : public ::testing::Test {
protected:
    void SetUp() override {
        seam::Reset();
        ASSERT_NE(OpenTestWindow(), nullptr);
        g_Player = {};
        std::memset(g_ErrorText, 0, sizeof g_ErrorText);
    }
    void TearDown() override {
        renderer.Shutdown();
        renderer.lightmapTable = nullptr;
        g_Window = nullptr;
        seam::Reset();
    }

    void Start() {
        ASSERT_TRUE(renderer.Initialize()) << g_ErrorText;
        ASSERT_TRUE(renderer.Setup());
        renderer.lightmapTable = &table;
    }

    // Loads a one-colour 8x8 lightmap into table entry `index`.
    void LoadLightmap(int index, Rgb colour) {
        std::string file =
            dir.Write("lm" + std::to_string(index) + ".bmp", MakeBmp24(8, 8, [&](int, int) { return colour; }));
        renderer.LoadTexture(&table.entries[index], file.c_str(), 8, 8);
        ASSERT_NE(table.entries[index].glTexture, 0u);
    }

    const std::uint8_t* PixelAt(const std::vector<std::uint8_t>& pixels, int x, int y) {
        return &pixels[(y * kDisplayWidth + x) * 3];
    }

    TempDir dir;
    OpenGLRenderer renderer;
    LightmapTable table{};
};

TEST_F(OpenGLRendererTest, EachFailingInitializeStepLeavesItsText) {
    const std::pair<const char*, const char*> steps[] = {
        {"ChangeDisplaySettingsA", "Could not switch to full-screen display mode."},
        {"GetDC", "Could not get a device context."},
        {"ChoosePixelFormat", "Pixel format not found."},
        {"SetPixelFormat", "Could not set requested pixel format."},
        {"wglCreateContext", "Could not acquire rendering context."},
        {"wglMakeCurrent", "Could not activate rendering context."},
    };
    for (const auto& [call, text] : steps) {
        SCOPED_TRACE(call);
        seam::ArmFailure(call, call == std::string("ChangeDisplaySettingsA") ? -1 : 0);
        EXPECT_FALSE(renderer.Initialize());
        EXPECT_STREQ(g_ErrorText, text);
        EXPECT_TRUE(renderer.Shutdown());
    }
}

TEST_F(OpenGLRendererTest, ShutdownAfterTheFirstStepFailedOnlyRestoresTheDisplay) {
    seam::ArmFailure("ChangeDisplaySettingsA", -1);
    ASSERT_FALSE(renderer.Initialize());
    seam::StartRecording();
    EXPECT_TRUE(renderer.Shutdown());
    EXPECT_EQ(seam::CallNames(), std::vector<std::string>{"ChangeDisplaySettingsA"});
    EXPECT_FALSE(VirtualDisplaySelected());
}

TEST_F(OpenGLRendererTest, OnlyUnpadded24BitImagesLoad) {
    Start();
    auto white = [](int, int) { return Rgb{255, 255, 255}; };
    for (int width : {4, 8}) {
        Image image;
        std::string file = dir.Write("w.bmp", MakeBmp24(width, 2, white));
        EXPECT_EQ(renderer.LoadImageFile(&image, file.c_str(), width, 2), S_OK) << width;
        EXPECT_NE(image.pixels, nullptr);
        delete[] image.pixels;
    }
    Image padded;  // width 6: 18 bytes of pixels in 20-byte rows
    std::string file = dir.Write("six.bmp", MakeBmp24(6, 2, white));
    renderer.LoadImageFile(&padded, file.c_str(), 6, 2);
    EXPECT_EQ(padded.pixels, nullptr);

    std::string zeroSize = MakeBmp24(4, 2, white);
    std::memset(&zeroSize[14 + 20], 0, 4);
    Image empty;
    renderer.LoadImageFile(&empty, dir.Write("zero.bmp", zeroSize).c_str(), 4, 2);
    EXPECT_EQ(empty.pixels, nullptr);

    Texture texture;
    renderer.LoadTexture(&texture, file.c_str(), 6, 2);
    EXPECT_EQ(texture.glTexture, 0u) << "no picture, no texture object";
}

TEST_F(OpenGLRendererTest, ImagesArriveTopRowFirstFromWhereTheHeaderPutsThePixels) {
    Start();
    auto rows = [](int, int y) { return y == 0 ? Rgb{255, 0, 0} : Rgb{0, 0, 255}; };
    for (int extra : {0, 84}) {  // the plain header, and a longer information header
        Image image;
        std::string file = dir.Write("rows.bmp", MakeBmp24(4, 4, rows, extra));
        ASSERT_EQ(renderer.LoadImageFile(&image, file.c_str(), 4, 4), S_OK) << extra;
        // Blue, green, red per pixel; the first row is the top.
        EXPECT_EQ(image.pixels[0], 0);
        EXPECT_EQ(image.pixels[2], 255);
        EXPECT_EQ(image.pixels[3 * 4 * 3], 255) << "bottom row blue";
        delete[] image.pixels;
    }
}

TEST_F(OpenGLRendererTest, AnImageWhoseSizeDisagreesWithTheCallerIsRefused) {
    Start();
    Image image;
    std::string file = dir.Write("small.bmp", MakeBmp24(4, 4, [](int, int) { return Rgb{1, 2, 3}; }));
    renderer.LoadImageFile(&image, file.c_str(), 64, 64);
    EXPECT_EQ(image.pixels, nullptr);
}

// The level gives every textured polygon a record of its own: records of one
// picture, under any file name, hold one texture object between them.
TEST_F(OpenGLRendererTest, RecordsOfOnePictureShareOneTextureObjectUntilTheLastIsReleased) {
    Start();
    auto grey = [](int x, int y) {
        return Rgb{static_cast<std::uint8_t>(x * 30), static_cast<std::uint8_t>(y * 30), 7};
    };
    const std::string first = dir.Write("a.bmp", MakeBmp24(8, 8, grey));
    const std::string second = dir.Write("b.bmp", MakeBmp24(8, 8, grey));
    const std::string other = dir.Write("c.bmp", MakeBmp24(8, 8, [](int, int) { return Rgb{9, 9, 9}; }));
    Texture a, b, c;
    renderer.LoadTexture(&a, first.c_str(), 8, 8);
    renderer.LoadTexture(&b, second.c_str(), 8, 8);
    renderer.LoadTexture(&c, other.c_str(), 8, 8);
    ASSERT_NE(a.glTexture, 0u);
    EXPECT_EQ(b.glTexture, a.glTexture);
    EXPECT_NE(c.glTexture, a.glTexture);

    const GLuint shared = a.glTexture;
    renderer.ReleaseTexture(&a);
    EXPECT_TRUE(glIsTexture(shared)) << "b still holds it";
    renderer.ReleaseTexture(&a);
    EXPECT_TRUE(glIsTexture(shared)) << "a second release of a takes nothing from b";
    renderer.ReleaseTexture(&b);
    EXPECT_FALSE(glIsTexture(shared));
    EXPECT_TRUE(glIsTexture(c.glTexture));

    // Loaded again, with the same picture, a record gets a texture object again.
    renderer.LoadTexture(&a, first.c_str(), 8, 8);
    EXPECT_TRUE(glIsTexture(a.glTexture));
}

TEST_F(OpenGLRendererTest, ARecordLoadedAgainGivesUpTheTextureItHeld) {
    Start();
    const std::string red = dir.Write("red.bmp", MakeBmp24(4, 4, [](int, int) { return Rgb{255, 0, 0}; }));
    const std::string blue = dir.Write("blue.bmp", MakeBmp24(4, 4, [](int, int) { return Rgb{0, 0, 255}; }));
    Texture texture;
    renderer.LoadTexture(&texture, red.c_str(), 4, 4);
    const GLuint first = texture.glTexture;
    renderer.LoadTexture(&texture, blue.c_str(), 4, 4);
    EXPECT_NE(texture.glTexture, 0u);
    EXPECT_FALSE(glIsTexture(first)) << "no record holds the red picture any more";

    Texture unloaded;  // never given a texture object: its release deletes nothing
    unloaded.glTexture = texture.glTexture;
    renderer.ReleaseTexture(&unloaded);
    EXPECT_TRUE(glIsTexture(texture.glTexture));
}

TEST_F(OpenGLRendererTest, PolygonsReachGlWithTheirLightmapAndMirroredZ) {
    Start();
    LoadLightmap(3, {255, 255, 255});
    Polygon polygon;
    polygon.lightmapIndex = 3;
    polygon.vertices[0] = At(1, 2, 3, 0.25f, 0.75f);
    polygon.vertices[1] = At(1, 3, 3);
    polygon.vertices[2] = At(2, 2, 3);

    // Feedback mode hands back what GL received, after an identity transform
    // and a viewport that maps x and y one to one.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 640, 0, 480, -10, 10);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_CULL_FACE);
    GLfloat feedback[64];
    glFeedbackBuffer(64, GL_3D_COLOR_TEXTURE, feedback);
    glRenderMode(GL_FEEDBACK);
    renderer.DrawPolygon(polygon);
    ASSERT_GT(glRenderMode(GL_RENDER), 0);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), table.entries[3].glTexture);

    // Token, count, then the first vertex: x, y, z (window), rgba, s, t, r, q.
    ASSERT_EQ(feedback[0], GL_POLYGON_TOKEN);
    EXPECT_NEAR(feedback[2], 1.0f, 1e-3);
    EXPECT_NEAR(feedback[3], 2.0f, 1e-3);
    // glOrtho maps eye z = -3 (the mirrored 3) to depth 0.65.
    EXPECT_NEAR(feedback[4], 0.65f, 1e-4);
    EXPECT_FLOAT_EQ(feedback[9], 0.25f);
    EXPECT_FLOAT_EQ(feedback[10], 0.75f);
}

TEST_F(OpenGLRendererTest, TheCameraTranslatesByMinusXMinusYPlusZ) {
    Start();
    g_Player.position = {10.0f, 0.0f, 5.0f};
    renderer.RenderFrame();
    GLfloat modelView[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelView);
    EXPECT_FLOAT_EQ(modelView[12], -10.0f);
    EXPECT_FLOAT_EQ(modelView[13], 0.0f);
    EXPECT_FLOAT_EQ(modelView[14], 5.0f);
}

TEST_F(OpenGLRendererTest, APolygonToThePlayersRightShowsOnTheRightInItsLightmapColour) {
    Start();
    LoadLightmap(0, {255, 128, 0});
    renderer.RenderFrame();  // camera at the origin looking along +z
    Polygon polygon;
    // Wound to face the camera by the level's rule (clockwise on screen).
    polygon.vertices[0] = At(1, -1, 10);
    polygon.vertices[1] = At(1, 1, 10);
    polygon.vertices[2] = At(3, -1, 10);
    renderer.DrawPolygon(polygon);
    auto pixels = ReadDisplayPixels();
    int right = 0, left = 0;
    for (int y = 0; y < kDisplayHeight; ++y)
        for (int x = 0; x < kDisplayWidth; ++x)
            if (PixelAt(pixels, x, y)[0] > 200) (x >= kDisplayWidth / 2 ? right : left)++;
    EXPECT_GT(right, 100);
    EXPECT_EQ(left, 0);
    // The lightmap's colour, lit by the white ambient light, in 16-bit colour.
    // World (1.5, -0.5, 10) lies inside the triangle: 45 degrees vertical at 4:3.
    const std::uint8_t* centre = PixelAt(pixels, 407, 269);
    EXPECT_GT(centre[0], 240);
    EXPECT_NEAR(centre[1], 128, 8);
    EXPECT_LT(centre[2], 8);
}

TEST_F(OpenGLRendererTest, ThePictureTurnsWithThePlayersYawAndPitch) {
    Start();
    LoadLightmap(0, {255, 255, 255});
    ExpectThePictureToFollowThePlayersView([&](const std::array<Polygon, 2>& square) {
        renderer.RenderFrame();  // the view from the player
        for (const Polygon& polygon : square) renderer.DrawPolygon(polygon);
    });
}

// The lightmap is repeated in both directions and modulated by the lit
// colour: a lit colour other than white tells modulate from replace.
TEST_F(OpenGLRendererTest, LightmapsRepeatAndModulateTheLitColour) {
    Start();
    // Left half red 200, right 40; top half green 200, bottom 40.
    std::string file = dir.Write(
        "halves.bmp", MakeBmp24(8, 8, [](int x, int y) {
            return Rgb{static_cast<std::uint8_t>(x < 4 ? 200 : 40), static_cast<std::uint8_t>(y < 4 ? 200 : 40), 0};
        }));
    renderer.LoadTexture(&table.entries[0], file.c_str(), 8, 8);
    renderer.RenderFrame();  // camera at the origin looking along +z
    glColor3f(0.5f, 1.0f, 1.0f);
    // A square at depth 10 whose lightmap coordinates are its x and y.
    const float corners[2][3][2] = {{{-2, -2}, {-2, 2}, {2, -2}}, {{-2, 2}, {2, 2}, {2, -2}}};
    for (const auto& triangle : corners) {
        Polygon polygon;
        polygon.lightmapIndex = 0;
        for (int i = 0; i < 3; ++i) {
            const float x = triangle[i][0], y = triangle[i][1];
            polygon.vertices[i] = At(x, y, 10, x, y);
        }
        renderer.DrawPolygon(polygon);
    }
    // World (x, y, 10) shows at (320 + 58 x, 240 - 58 y): 45 degrees vertical at 4:3.
    auto shownAt = [](float x, float y) { return DisplayPicture().At(320 + int(58 * x), 240 - int(58 * y)); };
    EXPECT_TRUE(Near(shownAt(0.25f, 0.25f), {100, 200, 0}, 8)) << "red halved, green whole";
    EXPECT_TRUE(Near(shownAt(0.75f, 0.25f), {20, 200, 0}, 8));
    EXPECT_TRUE(Near(shownAt(0.25f, 0.75f), {100, 40, 0}, 8));
    EXPECT_TRUE(Near(shownAt(1.25f, 1.25f), {100, 200, 0}, 8)) << "repeated across";
    EXPECT_TRUE(Near(shownAt(-0.25f, -0.25f), {20, 40, 0}, 8)) << "repeated before";
}

// Two triangles facing a camera at (0, 5, 0) that looks along +z, split by
// the plane z = 15: a small green one at z = 10 in front of it, on the
// camera's side, and a large red one at z = 20 behind it.
constexpr char kNearAndFarLevel[] =
    "NBSP 2 near-and-far 3\n"
    "0 1 2  0 0 15  0 1 15  1 0 15\n"
    "1 0 1  0  -1 4 10 0 0  -1 6 10 0 1  1 4 10 1 0  lmnear\n"
    "1 0 1  0  -20 -20 20 0 0  -20 30 20 0 1  30 -20 20 1 0  lmfar\n";

TEST_F(OpenGLRendererTest, TheLevelIsDrawnFarToNearSoTheNearPolygonCovers) {
    Start();
    ScopedCurrentDir inDir(dir.Path());
    dir.Write("lmnear.bmp", MakeBmp24(8, 8, [](int, int) { return Rgb{0, 255, 0}; }));
    dir.Write("lmfar.bmp", MakeBmp24(8, 8, [](int, int) { return Rgb{255, 0, 0}; }));
    dir.Write("test.bsp", kNearAndFarLevel);
    g_pRenderer = &renderer;
    renderer.lightmapTable = nullptr;  // the level makes its own
    ASSERT_TRUE(g_Bsp.Load("Test.bsp"));
    g_Player.position = {0.0f, 5.0f, 0.0f};
    g_PolygonsRendered = 0;
    renderer.RenderFrame();
    auto pixels = ReadDisplayPixels();
    // World (-0.5, 4.5, 10), inside the near triangle, and a point only the far one covers.
    const std::uint8_t* near = PixelAt(pixels, 291, 269);
    EXPECT_LT(near[0], 8);
    EXPECT_GT(near[1], 240);
    const std::uint8_t* far = PixelAt(pixels, 100, 300);
    EXPECT_GT(far[0], 240);
    EXPECT_LT(far[1], 8);
    renderer.RenderFrame();
    EXPECT_EQ(g_PolygonsRendered, 4) << "the level counts; this renderer never resets the counter";
    g_Bsp.FreeTree(&g_Bsp.root);
    delete g_pBlankTexture;
    g_pBlankTexture = nullptr;
    delete renderer.lightmapTable;
    g_pRenderer = nullptr;
}

TEST_F(OpenGLRendererTest, LeavingOutWhatCannotBeSeenChangesNoFrame) {
    Start();
    ScopedCurrentDir inDir(dir.Path());
    WriteRoomGrid(dir);
    g_pRenderer = &renderer;
    renderer.lightmapTable = nullptr;  // the level makes its own
    ASSERT_TRUE(g_Bsp.Load("Test.bsp"));
    ExpectCullingToChangeNoFrame(
        [this] {
            renderer.RenderFrame();
            return 0;
        },
        false);
    g_Bsp.FreeTree(&g_Bsp.root);
    delete g_pBlankTexture;
    g_pBlankTexture = nullptr;
    delete renderer.lightmapTable;
    g_pRenderer = nullptr;
}

TEST_F(OpenGLRendererTest, APolygonFacingAwayIsCulled) {
    Start();
    LoadLightmap(0, {255, 255, 255});
    renderer.RenderFrame();
    Polygon polygon;
    polygon.vertices[0] = At(-1, -1, 10);
    polygon.vertices[1] = At(1, -1, 10);
    polygon.vertices[2] = At(-1, 1, 10);
    renderer.DrawPolygon(polygon);
    auto pixels = ReadDisplayPixels();
    EXPECT_EQ(PixelAt(pixels, 320, 240)[0], 0);
}

}  // namespace
