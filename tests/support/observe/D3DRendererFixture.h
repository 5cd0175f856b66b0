// The Direct3D-style renderer's test fixture: a real window, Xvfb and Mesa,
// its pictures read back from the virtual display.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "app/WinMain.h"
#include "globals/Globals.h"
#include "level/Bsp.h"
#include "model/Entity.h"
#include "platform/display/VirtualDisplay.h"
#include "platform/graphics/SurfaceContents.h"
#include "player/Player.h"
#include "render/d3d/D3DRenderer.h"
#include "support/files/AssetPack.h"
#include "support/files/Bmp.h"
#include "support/files/LevelFiles.h"
#include "support/files/ModelText.h"
#include "support/files/TempDir.h"
#include "support/observe/TestWindow.h"
#include "support/stand-ins/TestRendererChoice.h"
#include "support/stand-ins/TestSeam.h"

constexpr Rgb kWhite{255, 255, 255};

inline std::string Solid(Rgb colour) {
    return MakeBmp24(4, 4, [=](int, int) { return colour; });
}

// A square of side 2 * half across the view axis at depth z, facing a camera
// at the origin that looks along +z.
inline std::array<Polygon, 2> Square(float z, float half, std::int32_t lightmapIndex, Texture* texture, bool textured) {
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
