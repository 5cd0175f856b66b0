// Bitmaps from BMP files and text, drawn through device contexts onto
// texture surfaces, whose RGB565 pixels are read back directly.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/graphics/Font.h"
#include "platform/graphics/Gdi.h"
#include "platform/graphics/SurfaceContents.h"
#include "support/files/Bmp.h"
#include "support/files/TempDir.h"
#include "support/stand-ins/TestSeam.h"

namespace {

std::uint16_t As565(Rgb c) { return Rgb565(c.r, c.g, c.b); }

const std::vector<std::uint16_t>& PixelsOf(IDirectDrawSurface7* surface) { return *SurfacePixels(surface); }

class GdiTest : public ::testing::Test {
protected:
    void SetUp() override {
        seam::Reset();
        ASSERT_EQ(DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(&directDraw), IID_IDirectDraw7, nullptr), DD_OK);
    }
    void TearDown() override {
        for (IDirectDrawSurface7* surface : surfaces) surface->Release();
        directDraw->Release();
        seam::Reset();
    }

    IDirectDrawSurface7* Texture(int width, int height) {
        DDSURFACEDESC2 description{};
        description.dwSize = sizeof description;
        description.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
        description.dwWidth = static_cast<DWORD>(width);
        description.dwHeight = static_cast<DWORD>(height);
        description.ddsCaps.dwCaps = DDSCAPS_TEXTURE;
        IDirectDrawSurface7* surface = nullptr;
        EXPECT_EQ(directDraw->CreateSurface(&description, &surface, nullptr), DD_OK);
        surfaces.push_back(surface);
        return surface;
    }

    // The renderer's way of filling a surface from a file.
    bool Fill(IDirectDrawSurface7* surface, const std::string& file, int width, int height, int x = 0, int y = 0) {
        HDC surfaceDc = nullptr;
        if (surface->GetDC(&surfaceDc) != DD_OK) return false;
        HDC memoryDc = CreateCompatibleDC(surfaceDc);
        HGDIOBJ bitmap = LoadImageA(nullptr, file.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE);
        SelectObject(memoryDc, bitmap);
        const bool copied = BitBlt(surfaceDc, x, y, width, height, memoryDc, 0, 0, SRCCOPY);
        DeleteDC(memoryDc);
        DeleteObject(bitmap);
        surface->ReleaseDC(surfaceDc);
        return bitmap && copied;
    }

    TempDir dir;
    IDirectDraw7* directDraw = nullptr;
    std::vector<IDirectDrawSurface7*> surfaces;
};

TEST_F(GdiTest, EveryKindOfBmpArrivesAsTheSameRgb565PixelsTopRowFirst) {
    const Rgb palette[4] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
    struct Kind {
        BmpFormat format;
        const char* what;
    } kinds[] = {
        {{1, 40, false}, "1 bit"},
        {{4, 40, false}, "4 bits"},
        {{8, 40, false}, "8 bits"},
        {{16, 40, false}, "16 bits"},
        {{24, 40, false}, "24 bits"},
        {{32, 40, false}, "32 bits"},
        {{24, 40, true}, "top-down"},
        {{8, 12, false}, "oldest header"},
        {{24, 108, false}, "version 4 header"},
        {{32, 124, false}, "version 5 header"},
    };
    for (const Kind& kind : kinds) {
        SCOPED_TRACE(kind.what);
        // Five wide, so rows need padding; one bit per pixel takes two colours.
        const int colours = kind.format.bits == 1 ? 2 : 4;
        auto colour = [&](int x, int y) { return palette[(x + 2 * y) % colours]; };
        const std::string file = dir.Write(std::string(kind.what) + ".bmp", MakeBmp(5, 3, colour, kind.format));
        IDirectDrawSurface7* surface = Texture(5, 3);
        ASSERT_TRUE(Fill(surface, file, 5, 3));
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x) EXPECT_EQ(PixelsOf(surface)[y * 5 + x], As565(colour(x, y))) << x << ", " << y;
    }
}

TEST_F(GdiTest, OnlyAReadableBmpOfASensibleSizeBecomesABitmap) {
    EXPECT_EQ(LoadImageA(nullptr, dir.File("missing.bmp").c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE), nullptr);
    EXPECT_EQ(LoadImageA(nullptr, dir.Write("text.bmp", "not a picture").c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE),
              nullptr);
    // A header claiming 5000 rows is refused before anything is made for it.
    std::string huge = MakeBmp24(2, 2, [](int, int) { return Rgb{1, 2, 3}; });
    huge[22] = static_cast<char>(5000 & 0xFF);
    huge[23] = static_cast<char>(5000 >> 8);
    EXPECT_EQ(LoadImageA(nullptr, dir.Write("huge.bmp", huge).c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE), nullptr);
    seam::ArmFailure("LoadImageA", 0);
    const std::string good = dir.Write("good.bmp", MakeBmp24(2, 2, [](int, int) { return Rgb{1, 2, 3}; }));
    EXPECT_EQ(LoadImageA(nullptr, good.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE), nullptr);
    HGDIOBJ bitmap = LoadImageA(nullptr, good.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE);
    EXPECT_NE(bitmap, nullptr);
    EXPECT_TRUE(DeleteObject(bitmap));
}

TEST_F(GdiTest, SurfacesFilledFromOneFileShareItsPixelsUntilOneIsWritten) {
    const std::string file = dir.Write("shared.bmp", MakeBmp24(4, 4, [](int x, int) {
                                           return Rgb{uint8_t(60 * x), 0, 0};
                                       }));
    IDirectDrawSurface7* first = Texture(4, 4);
    IDirectDrawSurface7* second = Texture(4, 4);
    ASSERT_TRUE(Fill(first, file, 4, 4));
    ASSERT_TRUE(Fill(second, file, 4, 4));
    EXPECT_EQ(SurfacePixels(first), SurfacePixels(second)) << "decoded once, held by both";

    RECT corner{0, 0, 1, 1};
    DDBLTFX fill{sizeof(DDBLTFX), 0xFFFF};
    ASSERT_EQ(first->Blt(&corner, nullptr, nullptr, DDBLT_COLORFILL, &fill), DD_OK);
    EXPECT_NE(SurfacePixels(first), SurfacePixels(second));
    EXPECT_EQ(PixelsOf(first)[0], 0xFFFF);
    EXPECT_EQ(PixelsOf(second)[0], 0) << "the other surface keeps the file's pixels";

    // The file rewritten is the file's new content.
    dir.Write("shared.bmp", MakeBmp24(4, 4, [](int, int) { return Rgb{0, 0, 255}; }));
    IDirectDrawSurface7* third = Texture(4, 4);
    ASSERT_TRUE(Fill(third, file, 4, 4));
    EXPECT_EQ(PixelsOf(third)[0], 0x001F);
}

TEST_F(GdiTest, ACopyTakesOnlyWhatLiesOnTheBitmapAndTheSurface) {
    const std::string file = dir.Write("small.bmp", MakeBmp24(4, 4, [](int, int) { return Rgb{255, 255, 255}; }));
    IDirectDrawSurface7* surface = Texture(6, 6);
    ASSERT_TRUE(Fill(surface, file, 8, 8, 3, 1));  // wider than the bitmap, and past the surface's edge
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x) {
            const bool covered = x >= 3 && y >= 1 && y < 5;
            EXPECT_EQ(PixelsOf(surface)[y * 6 + x], covered ? 0xFFFF : 0) << x << ", " << y;
        }
}

TEST_F(GdiTest, ASelectedBitmapStaysUntilItsContextIsDeleted) {
    const std::string file = dir.Write("b.bmp", MakeBmp24(2, 2, [](int, int) { return Rgb{1, 2, 3}; }));
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ bitmap = LoadImageA(nullptr, file.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE);
    EXPECT_EQ(SelectObject(dc, bitmap), nullptr) << "no bitmap was selected before";
    EXPECT_FALSE(DeleteObject(bitmap));
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_FALSE(DeleteObject(bitmap)) << "gone";
    seam::ArmFailure("CreateCompatibleDC", 0);
    EXPECT_EQ(CreateCompatibleDC(nullptr), nullptr);
}

TEST_F(GdiTest, TextIsOneLineOfAbout16PixelsInTheTextColour) {
    TextMask mask;
    ASSERT_TRUE(RenderText("FPS: 60", 7, mask)) << "no font found";
    EXPECT_GE(mask.height, 15);
    EXPECT_LE(mask.height, 18);
    EXPECT_GT(mask.width, 30);
    EXPECT_LT(mask.width, 70);

    IDirectDrawSurface7* surface = Texture(80, 40);
    HDC dc = nullptr;
    ASSERT_EQ(surface->GetDC(&dc), DD_OK);
    SetTextColor(dc, 0x0000FF);  // red
    EXPECT_EQ(SetBkMode(dc, TRANSPARENT), OPAQUE);
    ASSERT_TRUE(TextOutA(dc, 5, 10, "FPS: 60", 7));
    int red = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 80; ++x) {
            const std::uint16_t pixel = PixelsOf(surface)[y * 80 + x];
            const bool inCell = x >= 5 && x < 5 + mask.width && y >= 10 && y < 10 + mask.height;
            if (!inCell) {
                EXPECT_EQ(pixel, 0) << x << ", " << y;
            }
            red += pixel == 0xF800;
            EXPECT_EQ(pixel & 0x07FF, 0) << "only shades of red on black";
        }
    EXPECT_GT(red, 20);

    // An opaque background fills the cell white.
    SetBkMode(dc, OPAQUE);
    ASSERT_TRUE(TextOutA(dc, 5, 10, "FPS: 60", 7));
    EXPECT_EQ(PixelsOf(surface)[10 * 80 + 5 + mask.width - 1], 0xFFFF);
    ASSERT_EQ(surface->ReleaseDC(dc), DD_OK);
}

}  // namespace
