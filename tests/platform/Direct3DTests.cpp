// The 3D device on OpenGL, started through the renderer and then driven
// directly: z-buffer formats, culling, depth, stages, batching and the
// sphere test, checked on the pictures it draws.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <initializer_list>
#include <string>
#include <vector>

#include "globals/Globals.h"
#include "platform/display/Gl.h"
#include "platform/display/VirtualDisplay.h"
#include "platform/graphics/Direct3D.h"
#include "render/d3d/D3DRenderer.h"
#include "support/files/Bmp.h"
#include "support/files/TempDir.h"
#include "support/observe/TestWindow.h"
#include "support/stand-ins/TestSeam.h"

namespace {

struct DeviceVertex {
    float position[3];
    float normal[3];
    float first[2];
    float second[2];
};

// A triangle at depth z around (x, y), clockwise on screen unless asked
// otherwise, with both coordinate pairs at (u, v).
std::vector<DeviceVertex> Triangle(float x, float y, float z, bool clockwise = true, float u = 0.5f, float v = 0.5f) {
    DeviceVertex a{{x - 1, y - 1, z}, {0, 0, -1}, {u, v}, {u, v}};
    DeviceVertex b{{x - 1, y + 1, z}, {0, 0, -1}, {u, v}, {u, v}};
    DeviceVertex c{{x + 1, y - 1, z}, {0, 0, -1}, {u, v}, {u, v}};
    return clockwise ? std::vector{a, b, c} : std::vector{a, c, b};
}

// A square over the whole view at depth 10; pair u runs 0 to 1 left to right.
std::vector<DeviceVertex> Backdrop() {
    auto at = [](float x, float y) {
        const float u = (x + 10) / 20;
        return DeviceVertex{{x, y, 10}, {0, 0, -1}, {u, 0.5f}, {u, 0.5f}};
    };
    return {at(-10, -10), at(-10, 10), at(10, -10), at(-10, 10), at(10, 10), at(10, -10)};
}

class Direct3DTest : public ::testing::Test {
protected:
    void SetUp() override {
        seam::Reset();
        ASSERT_NE(OpenTestWindow(), nullptr);
        ASSERT_TRUE(renderer.Initialize()) << g_ErrorText;
        ASSERT_TRUE(renderer.Setup());
        device = renderer.device;
        // The camera at the origin looking along +z.
        Matrix identity = MakeIdentity();
        device->SetTransform(D3DTRANSFORMSTATE_VIEW, &identity);
        device->SetTransform(D3DTRANSFORMSTATE_WORLD, &identity);
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    }
    void TearDown() override {
        for (Texture& texture : textures) renderer.ReleaseTexture(&texture);
        renderer.Shutdown();
        g_Window = nullptr;
        seam::Reset();
    }

    // A texture made the renderer's way from a BMP file.
    IDirectDrawSurface7* TextureFrom(const std::string& name, const std::string& bmp) {
        const std::string file = dir.Write(name, bmp);
        int width = 0, height = 0;
        renderer.ReadImageSize(file.c_str(), &width, &height);
        textures.push_back({});
        renderer.CreateTexture(&textures.back(), width, height, 0);
        renderer.LoadTexture(&textures.back(), file.c_str(), width, height);
        return textures.back().surface;
    }
    IDirectDrawSurface7* Solid(const std::string& name, Rgb colour) {
        return TextureFrom(name, MakeBmp24(2, 2, [=](int, int) { return colour; }));
    }

    HRESULT Draw(std::vector<DeviceVertex> vertices) {
        return device->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX2, vertices.data(),
                                     static_cast<DWORD>(vertices.size()), 0);
    }

    // One scene holding what `draw` draws; the picture read back after it.
    template <typename Drawing>
    DisplayPicture Scene(Drawing draw) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        device->BeginScene();
        draw();
        device->EndScene();
        return DisplayPicture();
    }

    TempDir dir;
    D3DRenderer renderer;
    IDirect3DDevice7* device = nullptr;
    std::vector<Texture> textures = std::vector<Texture>();
};

// A triangle centred at x, y (world units at depth 10) lands about here.
int ScreenX(float x) { return static_cast<int>(320 + 320 * 1.1f * x / 8.509f); }
int ScreenY(float y) { return static_cast<int>(240 - 240 * 1.5f * y / 8.509f); }

HRESULT CollectFormats(DDPIXELFORMAT* format, void* formats) {
    static_cast<std::vector<DDPIXELFORMAT>*>(formats)->push_back(*format);
    return D3DENUMRET_OK;
}

HRESULT TakeFirst(DDPIXELFORMAT* format, void* formats) {
    static_cast<std::vector<DDPIXELFORMAT>*>(formats)->push_back(*format);
    return D3DENUMRET_CANCEL;
}

TEST_F(Direct3DTest, EachDeviceKindOffersItsZBufferFormatsAStencilOneFirst) {
    auto depths = [&](REFCLSID kind, LPD3DENUMPIXELFORMATSCALLBACK callback) {
        std::vector<DDPIXELFORMAT> formats;
        EXPECT_EQ(renderer.direct3D->EnumZBufferFormats(kind, callback, &formats), D3D_OK);
        std::vector<std::string> described;
        for (const DDPIXELFORMAT& format : formats)
            described.push_back(
                std::to_string(std::popcount(format.dwZBitMask)) +
                ((format.dwFlags & DDPF_STENCILBUFFER) ? "+" + std::to_string(format.dwStencilBitDepth) : ""));
        return described;
    };
    using Formats = std::vector<std::string>;
    EXPECT_EQ(depths(IID_IDirect3DHALDevice, CollectFormats), (Formats{"24+8", "24", "16"}));
    EXPECT_EQ(depths(IID_IDirect3DRGBDevice, CollectFormats), (Formats{"24+8", "16"}));
    EXPECT_EQ(depths(IID_IDirect3DHALDevice, TakeFirst), (Formats{"24+8"})) << "the callback ends the offer";
    seam::ArmFailure("EnumZBufferFormats.onlyStencil", 1);
    EXPECT_EQ(depths(IID_IDirect3DRGBDevice, CollectFormats), (Formats{"24+8"}));
}

TEST_F(Direct3DTest, TheHardwareDeviceNeedsAnAcceleratedContext) {
    const std::string gl = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    if (gl.find("llvmpipe") == std::string::npos && gl.find("softpipe") == std::string::npos)
        GTEST_SKIP() << "an accelerated GL: " << gl;
    EXPECT_FALSE(renderer.IsHardware());
    renderer.device->Release();
    renderer.device = nullptr;
    IDirect3DDevice7* hardware = nullptr;
    EXPECT_EQ(renderer.direct3D->CreateDevice(IID_IDirect3DHALDevice, renderer.backBuffer, &hardware), DDERR_NO3D);
    ASSERT_EQ(renderer.direct3D->CreateDevice(IID_IDirect3DRGBDevice, renderer.backBuffer, &hardware), D3D_OK);
    renderer.device = hardware;
}

TEST_F(Direct3DTest, CullingCounterClockwiseDropsWhatIsCounterClockwiseOnScreen) {
    device->SetTexture(0, Solid("white.bmp", {255, 255, 255}));
    struct Mode {
        DWORD cull;
        bool clockwiseShown, counterClockwiseShown;
    } modes[] = {{D3DCULL_CCW, true, false}, {D3DCULL_CW, false, true}, {D3DCULL_NONE, true, true}};
    for (const Mode& mode : modes) {
        SCOPED_TRACE(mode.cull);
        device->SetRenderState(D3DRENDERSTATE_CULLMODE, mode.cull);
        DisplayPicture picture = Scene([&] {
            Draw(Triangle(-3, 0, 10, true));
            Draw(Triangle(3, 0, 10, false));
        });
        EXPECT_EQ(picture.IsWhite(ScreenX(-3.5f), ScreenY(-0.5f)), mode.clockwiseShown);
        EXPECT_EQ(picture.IsWhite(ScreenX(2.5f), ScreenY(-0.5f)), mode.counterClockwiseShown);
    }
}

TEST_F(Direct3DTest, DepthRunsZeroToOneAndTheComparisonDecidesWhatCovers) {
    IDirectDrawSurface7* red = Solid("red.bmp", {255, 0, 0});
    IDirectDrawSurface7* blue = Solid("blue.bmp", {0, 0, 255});
    auto nearRedThenFarBlue = [&] {
        device->SetTexture(0, red);
        Draw(Triangle(0, 0, 10));
        device->SetTexture(0, blue);
        Draw(Triangle(0, 0, 20));
    };
    device->SetRenderState(D3DRENDERSTATE_ZFUNC, D3DCMP_LESSEQUAL);
    DisplayPicture tested = Scene(nearRedThenFarBlue);
    EXPECT_TRUE(Near(tested.At(ScreenX(-0.2f), ScreenY(-0.2f)), {255, 0, 0}, 0)) << "the nearer stays";
    // The projection maps depth 10 to 0.990099 (near 0.1, far 1000).
    GLfloat depth = 0;
    glReadPixels(ScreenX(-0.2f), kDisplayHeight - 1 - ScreenY(-0.2f), 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
    EXPECT_NEAR(depth, 0.990099f, 1e-4);

    device->SetRenderState(D3DRENDERSTATE_ZFUNC, D3DCMP_ALWAYS);
    DisplayPicture always = Scene(nearRedThenFarBlue);
    EXPECT_TRUE(Near(always.At(ScreenX(-0.2f), ScreenY(-0.2f)), {0, 0, 255}, 0)) << "the later covers";
    glReadPixels(ScreenX(-0.2f), kDisplayHeight - 1 - ScreenY(-0.2f), 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
    EXPECT_NEAR(depth, 0.995100f, 1e-4) << "with its depth";
}

TEST_F(Direct3DTest, AStageWithoutATexturePassesItsInputOnAndTheLastStageMultipliesTheLitColour) {
    IDirectDrawSurface7* orange = Solid("orange.bmp", {255, 128, 0});
    device->SetTexture(0, nullptr);  // no lightmap: the lit white passes on to the texture stage
    device->SetTexture(1, orange);
    EXPECT_TRUE(Near(Scene([&] { Draw(Backdrop()); }).At(320, 100), As565({255, 128, 0}), 2));

    device->SetTexture(0, Solid("white.bmp", {255, 255, 255}));
    device->SetRenderState(D3DRENDERSTATE_AMBIENT, 0xFF808080);  // lit half-way
    EXPECT_TRUE(Near(Scene([&] { Draw(Backdrop()); }).At(320, 100), {128, 64, 0}, 5));
    device->SetTextureStageState(2, D3DTSS_COLOROP, D3DTOP_DISABLE);  // the lit colour left out
    EXPECT_TRUE(Near(Scene([&] { Draw(Backdrop()); }).At(320, 100), As565({255, 128, 0}), 2));
}

TEST_F(Direct3DTest, TheTextureStageSamplesTheNearestTexelAndTheLightmapStageFilters) {
    IDirectDrawSurface7* halves = TextureFrom("halves.bmp", MakeBmp24(2, 1, [](int x, int) {
                                                  return x ? Rgb{255, 255, 255} : Rgb{0, 0, 0};
                                              }));
    auto greys = [&](DisplayPicture picture) {
        int between = 0;
        for (int x = 0; x < kDisplayWidth; ++x) {
            const int level = picture.At(x, 240).r;
            between += level > 8 && level < 247;
        }
        return between;
    };
    device->SetTexture(0, nullptr);
    device->SetTexture(1, halves);
    EXPECT_EQ(greys(Scene([&] { Draw(Backdrop()); })), 0) << "point sampling: black or white";
    device->SetTexture(0, halves);
    device->SetTexture(1, nullptr);
    EXPECT_GT(greys(Scene([&] { Draw(Backdrop()); })), 100) << "linear filtering blends across the middle";
}

TEST_F(Direct3DTest, TrianglesOfOneStateAreOneBatchDrawnInTheirOrder) {
    // Two surfaces filled from one file share their picture, so they draw alike.
    const std::string bmp = MakeBmp24(2, 1, [](int x, int) { return x ? Rgb{0, 255, 0} : Rgb{255, 0, 0}; });
    IDirectDrawSurface7* redGreen = TextureFrom("a.bmp", bmp);
    IDirectDrawSurface7* sameFile = TextureFrom("a.bmp", bmp);
    IDirectDrawSurface7* blue = Solid("blue.bmp", {0, 0, 255});
    device->SetRenderState(D3DRENDERSTATE_ZFUNC, D3DCMP_ALWAYS);
    device->SetTexture(0, redGreen);
    seam::StartRecording();
    DisplayPicture picture = Scene([&] {
        Draw(Triangle(-4, 0, 10, true, 0.25f));     // red
        Draw(Triangle(-3.5f, 0, 10, true, 0.75f));  // green over it
        device->SetTexture(0, sameFile);
        Draw(Triangle(4, 0, 10, true, 0.25f));
        device->SetTexture(0, blue);  // a new texture ends the batch
        Draw(Triangle(4.5f, 0, 10));
        device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);  // so does any state
        Draw(Triangle(0, 3, 10));
        device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);  // no change
        Draw(Triangle(0, -3, 10));
    });
    std::vector<std::string> batches;
    for (const auto& call : seam::Calls())
        if (call.name == "DrawBatch") batches.push_back(call.args);
    EXPECT_EQ(batches, (std::vector<std::string>{"3", "1", "2"}));
    EXPECT_TRUE(Near(picture.At(ScreenX(-4.2f), ScreenY(-0.8f)), {0, 255, 0}, 0)) << "the later triangle on top";
    EXPECT_TRUE(Near(picture.At(ScreenX(4.2f), ScreenY(-0.8f)), {0, 0, 255}, 0)) << "the later batch on top";
}

// Drawn from texture arrays, pictures of more sizes than there are arrays
// (those beyond draw with the units), and pictures whose pixels change
// between scenes, give the units' frames, colour and depth.
TEST_F(Direct3DTest, TextureArraysDrawManySizesAndChangedPicturesAsTheUnitsDo) {
    IDirectDrawSurface7* lightmap = TextureFrom(
        "lm.bmp", MakeBmp24(3, 2, [](int x, int y) {
            return Rgb{static_cast<std::uint8_t>(90 + 70 * x), static_cast<std::uint8_t>(120 + 100 * y), 200};
        }));
    std::vector<IDirectDrawSurface7*> pictures;
    for (int size = 2; size < 18; ++size)
        pictures.push_back(
            TextureFrom("t" + std::to_string(size) + ".bmp", MakeBmp24(size, size + 1, [=](int x, int y) {
                            return (x + y) % 2 ? Rgb{255, static_cast<std::uint8_t>(15 * size), 0}
                                               : Rgb{0, 80, static_cast<std::uint8_t>(14 * size)};
                        })));
    device->SetRenderState(D3DRENDERSTATE_ZFUNC, D3DCMP_ALWAYS);
    auto frame = [&](bool layers) {
        SetTextureLayers(layers);
        Scene([&] {
            for (std::size_t i = 0; i < pictures.size(); ++i) {
                device->SetTexture(0, i % 3 ? lightmap : nullptr);
                device->SetTexture(1, i % 4 ? pictures[i] : nullptr);
                const float x = -7.5f + static_cast<float>(i), u = 0.1f * static_cast<float>(i % 7);
                Draw(Triangle(x, 0, 10, true, u, 1 - u));
                Draw(Triangle(x + 0.5f, 0.5f, 10, true, 1 - u, u));
            }
        });
        return DisplayColourAndDepth();
    };
    const std::vector<std::uint8_t> units = frame(false);
    EXPECT_TRUE(frame(true) == units) << "the frames differ";
    // New pixels for one picture, and the lightmap's picture for another.
    renderer.LoadTexture(&textures[3],
                         dir.Write("new.bmp", MakeBmp24(4, 5,
                                                        [](int x, int) {
                                                            return x < 2 ? Rgb{255, 255, 255} : Rgb{40, 40, 40};
                                                        }))
                             .c_str(),
                         4, 5);
    renderer.LoadTexture(&textures[5], (dir.Path() / "lm.bmp").c_str(), 6, 7);
    const std::vector<std::uint8_t> changedUnits = frame(false);
    EXPECT_FALSE(changedUnits == units);
    EXPECT_TRUE(frame(true) == changedUnits) << "the frames differ after the pictures changed";
    SetTextureLayers(true);
}

TEST_F(Direct3DTest, DrawingNeedsASceneAndTheEnginesVertexFormat) {
    std::vector<DeviceVertex> triangle = Triangle(0, 0, 10);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0x212, triangle.data(), 3, 0), D3DERR_SCENE_NOT_IN_SCENE);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_EQ(device->BeginScene(), D3DERR_SCENE_IN_SCENE);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0x112, triangle.data(), 3, 0), D3DERR_INVALIDVERTEXFORMAT);
    EXPECT_EQ(device->DrawPrimitive(static_cast<D3DPRIMITIVETYPE>(5), 0x212, triangle.data(), 3, 0),
              D3DERR_INVALIDPRIMITIVETYPE);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0x212, triangle.data(), 2, 0), DDERR_INVALIDPARAMS);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0x212, triangle.data(), 3, 0), D3D_OK);
    EXPECT_EQ(device->EndScene(), D3D_OK);
}

TEST_F(Direct3DTest, TheSphereTestTellsWhichPlanesASphereCrossesOrLiesBeyond) {
    auto visibility = [&](float x, float y, float z, float radius) {
        Sphere sphere{{x, y, z}, {}, radius};
        return renderer.TestSphere(sphere);
    };
    EXPECT_EQ(visibility(0, 0, 10, 1), 0u) << "wholly in view";
    EXPECT_EQ(visibility(0, 0, -10, 1) & (D3DSTATUS_CLIPUNIONFRONT | D3DSTATUS_CLIPINTERSECTIONFRONT),
              D3DSTATUS_CLIPUNIONFRONT | D3DSTATUS_CLIPINTERSECTIONFRONT)
        << "behind the camera";
    EXPECT_EQ(visibility(-100, 0, 10, 1), D3DSTATUS_CLIPUNIONLEFT | D3DSTATUS_CLIPINTERSECTIONLEFT);
    EXPECT_EQ(visibility(0, 0, 1000, 5), D3DSTATUS_CLIPUNIONBACK) << "across the far plane";
}

}  // namespace
