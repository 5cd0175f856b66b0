// The exclusive display on the virtual 640x480 display: its one mode, the
// flipping chain, fills, copies, device contexts and the z-buffer.
#include <gtest/gtest.h>

#include "globals/Globals.h"
#include "platform/display/Gl.h"
#include "platform/display/VirtualDisplay.h"
#include "platform/graphics/SurfaceContents.h"
#include "support/observe/TestWindow.h"
#include "support/stand-ins/TestSeam.h"

namespace {

class DirectDrawTest : public ::testing::Test {
protected:
    void SetUp() override {
        seam::Reset();
        ASSERT_NE(OpenTestWindow(), nullptr);
        ASSERT_EQ(DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(&directDraw), IID_IDirectDraw7, nullptr), DD_OK);
    }
    void TearDown() override {
        if (backBuffer) backBuffer->Release();
        if (primary) primary->Release();
        if (directDraw) directDraw->Release();
        g_Window = nullptr;
        seam::Reset();
    }

    HRESULT TakeDisplay() {
        HRESULT result = directDraw->SetCooperativeLevel(g_Window, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE);
        return SUCCEEDED(result) ? directDraw->SetDisplayMode(640, 480, 16, 0, 0) : result;
    }

    HRESULT CreatePrimary(IDirectDrawSurface7** surface) {
        DDSURFACEDESC2 description{};
        description.dwSize = sizeof description;
        description.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
        description.dwBackBufferCount = 1;
        description.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE;
        return directDraw->CreateSurface(&description, surface, nullptr);
    }

    void StartChain() {
        ASSERT_EQ(TakeDisplay(), DD_OK);
        ASSERT_EQ(CreatePrimary(&primary), DD_OK);
        DDSCAPS2 caps{DDSCAPS_BACKBUFFER, 0, 0, 0};
        ASSERT_EQ(primary->GetAttachedSurface(&caps, &backBuffer), DD_OK);
    }

    IDirectDrawSurface7* Surface(DWORD caps, int width, int height) {
        DDSURFACEDESC2 description{};
        description.dwSize = sizeof description;
        description.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
        description.dwWidth = static_cast<DWORD>(width);
        description.dwHeight = static_cast<DWORD>(height);
        description.ddsCaps.dwCaps = caps;
        IDirectDrawSurface7* surface = nullptr;
        EXPECT_EQ(directDraw->CreateSurface(&description, &surface, nullptr), DD_OK);
        return surface;
    }

    static HRESULT Fill(IDirectDrawSurface7* surface, RECT* rect, DWORD value) {
        DDBLTFX effects{sizeof(DDBLTFX), value};
        return surface->Blt(rect, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &effects);
    }

    IDirectDraw7* directDraw = nullptr;
    IDirectDrawSurface7* primary = nullptr;
    IDirectDrawSurface7* backBuffer = nullptr;
};

TEST_F(DirectDrawTest, OnlyTheEnginesModeIsOfferedAndOnlyForExclusiveUse) {
    EXPECT_EQ(directDraw->SetDisplayMode(640, 480, 16, 0, 0), DDERR_NOEXCLUSIVEMODE);
    ASSERT_EQ(directDraw->SetCooperativeLevel(
                  g_Window, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE | DDSCL_ALLOWREBOOT | DDSCL_ALLOWMODEX),
              DD_OK);
    EXPECT_EQ(directDraw->SetDisplayMode(800, 600, 16, 0, 0), DDERR_INVALIDMODE);
    EXPECT_EQ(directDraw->SetDisplayMode(640, 480, 32, 0, 0), DDERR_INVALIDMODE);
    EXPECT_FALSE(VirtualDisplaySelected());
    EXPECT_EQ(directDraw->SetDisplayMode(640, 480, 16, 0, 0), DD_OK);
    EXPECT_TRUE(VirtualDisplaySelected());
    directDraw->Release();
    directDraw = nullptr;
    EXPECT_FALSE(VirtualDisplaySelected()) << "the desktop's mode is back";
}

TEST_F(DirectDrawTest, TheFlippingChainIsOneAtATimeAndLivesWhileAnyPartIsHeld) {
    StartChain();
    IDirectDrawSurface7* second = reinterpret_cast<IDirectDrawSurface7*>(1);
    EXPECT_EQ(CreatePrimary(&second), DDERR_PRIMARYSURFACEALREADYEXISTS);
    EXPECT_EQ(second, nullptr) << "a failed creation hands out nothing";

    // The display object and the primary go first; the back buffer still draws.
    directDraw->Release();
    directDraw = nullptr;
    primary->Release();
    primary = nullptr;
    RECT rect{0, 0, 10, 10};
    EXPECT_EQ(Fill(backBuffer, &rect, 0xF800), DD_OK);
    EXPECT_TRUE(VirtualDisplaySelected());
    backBuffer->Release();
    backBuffer = nullptr;
    EXPECT_FALSE(VirtualDisplaySelected());

    ASSERT_EQ(DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(&directDraw), IID_IDirectDraw7, nullptr), DD_OK);
    StartChain();  // everything was let go
}

TEST_F(DirectDrawTest, AColourFillWritesTheRaw16BitValue) {
    StartChain();
    EXPECT_EQ(Fill(backBuffer, nullptr, 0x001F), DD_OK);  // blue, the whole surface
    RECT red{10, 20, 30, 40}, green{30, 20, 50, 40}, white{0, 0, 2, 1};
    EXPECT_EQ(Fill(backBuffer, &red, 0xF800), DD_OK);
    EXPECT_EQ(Fill(backBuffer, &green, 0x07E0), DD_OK);
    EXPECT_EQ(Fill(backBuffer, &white, 0xFFFFFF), DD_OK) << "a 16-bit surface takes the low 16 bits";
    DisplayPicture picture;
    EXPECT_TRUE(Near(picture.At(10, 20), {255, 0, 0}, 0));
    EXPECT_TRUE(Near(picture.At(29, 39), {255, 0, 0}, 0));
    EXPECT_TRUE(Near(picture.At(30, 39), {0, 255, 0}, 0));
    EXPECT_TRUE(Near(picture.At(50, 20), {0, 0, 255}, 0));
    EXPECT_TRUE(picture.IsWhite(1, 0));
    EXPECT_TRUE(Near(picture.At(2, 0), {0, 0, 255}, 0));

    RECT outside{630, 470, 641, 480};
    EXPECT_EQ(Fill(backBuffer, &outside, 0), MakeDisplayResult(150)) << "a rectangle off the surface";
    EXPECT_EQ(Fill(primary, nullptr, 0), DDERR_UNSUPPORTED) << "the engine draws on the back buffer only";
}

TEST_F(DirectDrawTest, CopiesScaleBetweenPlainSurfacesAndTheBackBuffer) {
    StartChain();
    IDirectDrawSurface7* plain = Surface(DDSCAPS_SYSTEMMEMORY, 2, 2);
    RECT left{0, 0, 1, 2}, right{1, 0, 2, 2};
    Fill(plain, &left, 0xF800);
    Fill(plain, &right, 0x001F);
    RECT target{100, 100, 200, 150};
    ASSERT_EQ(backBuffer->Blt(&target, plain, nullptr, DDBLT_WAIT, nullptr), DD_OK);
    DisplayPicture picture;
    EXPECT_TRUE(Near(picture.At(100, 100), {255, 0, 0}, 0));
    EXPECT_TRUE(Near(picture.At(149, 149), {255, 0, 0}, 0));
    EXPECT_TRUE(Near(picture.At(150, 100), {0, 0, 255}, 0));
    EXPECT_TRUE(picture.IsBlack(200, 100));

    // And back: a 2x2 corner of the copy, top row first.
    IDirectDrawSurface7* back = Surface(DDSCAPS_SYSTEMMEMORY, 2, 2);
    RECT source{148, 100, 152, 102};
    ASSERT_EQ(back->Blt(nullptr, backBuffer, &source, DDBLT_WAIT, nullptr), DD_OK);
    const auto& pixels = *SurfacePixels(back);
    EXPECT_EQ(pixels, (std::vector<std::uint16_t>{0xF800, 0x001F, 0xF800, 0x001F}));
    plain->Release();
    back->Release();
}

TEST_F(DirectDrawTest, ASurfaceHandsOutOneDeviceContextAtATime) {
    StartChain();
    HDC dc = nullptr, other = nullptr;
    EXPECT_EQ(primary->GetDC(&dc), DDERR_CANTCREATEDC);
    ASSERT_EQ(backBuffer->GetDC(&dc), DD_OK);
    EXPECT_EQ(backBuffer->GetDC(&other), DDERR_DCALREADYCREATED);
    EXPECT_EQ(backBuffer->ReleaseDC(other), DDERR_INVALIDPARAMS);
    EXPECT_EQ(backBuffer->ReleaseDC(dc), DD_OK);
    seam::ArmFailure("Surface.GetDC", DDERR_SURFACELOST);
    EXPECT_EQ(backBuffer->GetDC(&dc), DDERR_SURFACELOST);
    EXPECT_EQ(dc, nullptr);
}

TEST_F(DirectDrawTest, TexturesAndPlainSurfacesTakeTheDisplaysFormatAndSensibleSizes) {
    DDSURFACEDESC2 description{};
    description.dwSize = sizeof description;
    description.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    description.ddsCaps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_VIDEOMEMORY;
    IDirectDrawSurface7* surface = nullptr;
    for (auto [width, height] : {std::pair{0u, 4u}, std::pair{4u, 0xFFFFFFFCu}, std::pair{4097u, 1u}}) {
        description.dwWidth = width;
        description.dwHeight = height;
        EXPECT_EQ(directDraw->CreateSurface(&description, &surface, nullptr), DDERR_INVALIDPARAMS)
            << width << "x" << height;
    }
    description.dwWidth = description.dwHeight = 4;
    description.dwFlags |= DDSD_PIXELFORMAT;
    EXPECT_EQ(directDraw->CreateSurface(&description, &surface, nullptr), DDERR_INVALIDPIXELFORMAT);
    description.dwFlags &= ~DDSD_PIXELFORMAT;
    seam::ArmFailure("CreateSurface texture", DDERR_OUTOFVIDEOMEMORY);
    EXPECT_EQ(directDraw->CreateSurface(&description, &surface, nullptr), DDERR_OUTOFVIDEOMEMORY);
    EXPECT_EQ(surface, nullptr);
    ASSERT_EQ(directDraw->CreateSurface(&description, &surface, nullptr), DD_OK);
    EXPECT_EQ(*SurfacePixels(surface), std::vector<std::uint16_t>(16, 0)) << "black";
    surface->Release();
}

TEST_F(DirectDrawTest, AZBufferOfTheBackBuffersSizeGivesTheDisplayItsDepth) {
    StartChain();
    auto zBuffer = [&](int width, DDPIXELFORMAT format) {
        DDSURFACEDESC2 description{};
        description.dwSize = sizeof description;
        description.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        description.dwWidth = static_cast<DWORD>(width);
        description.dwHeight = 480;
        description.ddpfPixelFormat = format;
        description.ddsCaps.dwCaps = DDSCAPS_ZBUFFER | DDSCAPS_VIDEOMEMORY;
        IDirectDrawSurface7* surface = nullptr;
        HRESULT result = directDraw->CreateSurface(&description, &surface, nullptr);
        return std::pair{result, surface};
    };
    const DDPIXELFORMAT z24 = {sizeof(DDPIXELFORMAT), DDPF_ZBUFFER, 0, 32, 0, 0xFFFFFF00, 0, 0};
    const DDPIXELFORMAT z12 = {sizeof(DDPIXELFORMAT), DDPF_ZBUFFER, 0, 16, 0, 0x0FFF, 0, 0};
    EXPECT_EQ(zBuffer(640, z12).first, DDERR_INVALIDPIXELFORMAT);
    auto [narrowResult, narrow] = zBuffer(320, z24);
    ASSERT_EQ(narrowResult, DD_OK);
    EXPECT_EQ(backBuffer->AddAttachedSurface(narrow), DDERR_INVALIDPARAMS);
    narrow->Release();

    auto [result, depth] = zBuffer(640, z24);
    ASSERT_EQ(result, DD_OK);
    ASSERT_EQ(backBuffer->AddAttachedSurface(depth), DD_OK);
    EXPECT_EQ(backBuffer->AddAttachedSurface(depth), DDERR_SURFACEALREADYATTACHED);
    depth->Release();  // the back buffer holds it now
    GLint depthBits = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    EXPECT_EQ(depthBits, 24);
}

TEST_F(DirectDrawTest, OnlyThePrimaryFlipsAndAFlipFailureCanBeArmed) {
    StartChain();
    EXPECT_EQ(backBuffer->Flip(nullptr, DDFLIP_WAIT), DDERR_NOTFLIPPABLE);
    EXPECT_EQ(primary->Flip(nullptr, DDFLIP_WAIT), DD_OK);
    seam::ArmFailure("Flip", DDERR_SURFACELOST);
    EXPECT_EQ(primary->Flip(nullptr, DDFLIP_WAIT), DDERR_SURFACELOST);
}

}  // namespace
