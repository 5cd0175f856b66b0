// Lightmap layout and lighting, checked on the written level and the pages.
#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include <gtest/gtest.h>

#include "support/files/CompileHelpers.h"
#include "support/files/TempDir.h"
#include "support/stand-ins/RecordingRenderer.h"

using namespace orvcompile;

namespace {

int PageIndex(const Compiled& compiled, const std::string& name) {
    const auto& names = compiled.level.pageNames;
    return static_cast<int>(std::find(names.begin(), names.end(), name) - names.begin());
}

// The page colour the engine shows at point p of the level's surface, looking
// from `eye`: the texel under p's lightmap coordinates.
std::array<int, 3> LightAt(const Compiled& compiled, Vector p, Vector eye) {
    for (const ReadPolygon* polygon : compiled.read.DrawOrder(eye)) {
        const Vector a = polygon->v[0].position, b = polygon->v[1].position, c = polygon->v[2].position;
        const Vector n = polygon->normal;
        if (std::fabs(::Dot(Vector{p.x - a.x, p.y - a.y, p.z - a.z}, n)) > 1e-3f) continue;
        // Barycentric coordinates of p in the triangle.
        auto area = [&](Vector u, Vector v, Vector w) {
            return ::Dot(::Cross(Vector{v.x - u.x, v.y - u.y, v.z - u.z}, Vector{w.x - u.x, w.y - u.y, w.z - u.z}), n);
        };
        const float whole = area(a, b, c);
        const float wa = area(p, b, c) / whole, wb = area(a, p, c) / whole, wc = 1 - wa - wb;
        if (wa < 0 || wb < 0 || wc < 0) continue;
        const double u =
            wa * polygon->v[0].lightmap[0] + wb * polygon->v[1].lightmap[0] + wc * polygon->v[2].lightmap[0];
        const double v =
            wa * polygon->v[0].lightmap[1] + wb * polygon->v[1].lightmap[1] + wc * polygon->v[2].lightmap[1];
        const Picture& page =
            compiled.level.lightmaps.pages[static_cast<std::size_t>(PageIndex(compiled, polygon->lightmapName))];
        const int x = static_cast<int>(u * page.width), y = static_cast<int>(v * page.height);
        const std::size_t at = static_cast<std::size_t>(y * page.width + x) * 3;
        return {page.rgb[at], page.rgb[at + 1], page.rgb[at + 2]};
    }
    ADD_FAILURE() << "no polygon at " << p.x << " " << p.y << " " << p.z;
    return {-1, -1, -1};
}

int Brightness(std::array<int, 3> rgb) { return rgb[0] + rgb[1] + rgb[2]; }

TEST(Lightmaps, ChartsLieApartInsideTheirPages) {
    const Compiled compiled = CompileText(SampleMap());
    ASSERT_EQ(compiled.error, "");
    const Lightmaps& lightmaps = compiled.level.lightmaps;
    ASSERT_GT(lightmaps.charts.size(), 10u);
    for (std::size_t a = 0; a < lightmaps.charts.size(); ++a) {
        const Chart& ca = lightmaps.charts[a];
        EXPECT_GE(ca.page, 0);
        EXPECT_LT(ca.page, 2);
        EXPECT_GE(ca.x, 0);
        EXPECT_GE(ca.y, 0);
        EXPECT_LE(ca.x + ca.width, lightmaps.pageSize);
        EXPECT_LE(ca.y + ca.height, lightmaps.pageSize);
        // Clear of the model patch.
        EXPECT_TRUE(ca.x >= kModelPatchSize || ca.y >= kModelPatchSize);
        for (std::size_t b = a + 1; b < lightmaps.charts.size(); ++b) {
            const Chart& cb = lightmaps.charts[b];
            if (ca.page != cb.page) continue;
            const bool apart = ca.x + ca.width <= cb.x || cb.x + cb.width <= ca.x || ca.y + ca.height <= cb.y ||
                               cb.y + cb.height <= ca.y;
            EXPECT_TRUE(apart) << "charts " << a << " and " << b;
        }
    }
}

TEST(Lightmaps, TrianglesReadOnlyLitTexelsInsideTheirChart) {
    for (const std::string& text :
         {SampleMap(), RoomMap(0, 0, 0, 30, 13, 22, "5 5 5") + "wedge 3 0 3 17 7 11 +z r\nbox 20 3 4 23 11 19 b\n"
                                                               "light 10 9 15 1 1 1 1 40\nlightmap_density 1.5\n"}) {
        const Compiled compiled = CompileText(text);
        ASSERT_EQ(compiled.error, "");
        const Lightmaps& lightmaps = compiled.level.lightmaps;
        int triangles = 0;
        for (const ReadPolygon* polygon : compiled.read.AllPolygons()) {
            const int page = PageIndex(compiled, polygon->lightmapName);
            ASSERT_LT(page, static_cast<int>(lightmaps.pages.size())) << polygon->lightmapName;
            const int size = lightmaps.pageSize;
            double lo[2] = {1e9, 1e9}, hi[2] = {-1e9, -1e9};
            for (const ReadVertex& v : polygon->v)
                for (int k = 0; k < 2; ++k) {
                    EXPECT_GE(v.lightmap[k], 0);
                    EXPECT_LE(v.lightmap[k], 1);
                    lo[k] = std::min(lo[k], double(v.lightmap[k]) * size);
                    hi[k] = std::max(hi[k], double(v.lightmap[k]) * size);
                }
            // Bilinear filtering reads texels whose centres lie within one texel
            // of the triangle: all of them must carry light, none padding or patch.
            const Vector a{polygon->v[0].lightmap[0] * size, polygon->v[0].lightmap[1] * size, 0};
            const Vector b{polygon->v[1].lightmap[0] * size, polygon->v[1].lightmap[1] * size, 0};
            const Vector c{polygon->v[2].lightmap[0] * size, polygon->v[2].lightmap[1] * size, 0};
            for (int y = static_cast<int>(std::floor(lo[1] - 0.5)); y <= static_cast<int>(std::floor(hi[1] + 0.5)); ++y)
                for (int x = static_cast<int>(std::floor(lo[0] - 0.5)); x <= static_cast<int>(std::floor(hi[0] + 0.5));
                     ++x) {
                    // Does the texel's bilinear reach (its square grown by half a texel) touch the triangle?
                    const float cx = x + 0.5f, cy = y + 0.5f;
                    bool touches = false;
                    for (float dy : {-1.f, -0.5f, 0.f, 0.5f, 1.f})
                        for (float dx : {-1.f, -0.5f, 0.f, 0.5f, 1.f}) {
                            const Vector p{cx + dx * 0.999f, cy + dy * 0.999f, 0};
                            auto side = [](Vector u, Vector v, Vector w) {
                                return (v.x - u.x) * (w.y - u.y) - (v.y - u.y) * (w.x - u.x);
                            };
                            const float s1 = side(a, b, p), s2 = side(b, c, p), s3 = side(c, a, p);
                            touches = touches || (s1 >= 0 && s2 >= 0 && s3 >= 0) || (s1 <= 0 && s2 <= 0 && s3 <= 0);
                        }
                    if (!touches) continue;
                    ASSERT_TRUE(x >= 0 && y >= 0 && x < size && y < size);
                    const Texel texel =
                        lightmaps.texels[static_cast<std::size_t>(page)][static_cast<std::size_t>(y * size + x)];
                    EXPECT_TRUE(texel == Texel::Lit || texel == Texel::Dilated)
                        << "texel " << x << " " << y << " of page " << page << " is " << static_cast<int>(texel);
                }
            ++triangles;
        }
        EXPECT_GT(triangles, 50);
    }
}

TEST(Lightmaps, PagesAreTheRequestedNumberOfEngineReadyBmps) {
    const Compiled compiled = CompileText(SampleMap() + "model_patch 0.5 0.25 1\n");
    ASSERT_EQ(compiled.error, "");
    const Lightmaps& lightmaps = compiled.level.lightmaps;
    ASSERT_EQ(lightmaps.pages.size(), 2u);
    EXPECT_EQ(compiled.level.pageNames, (std::vector<std::string>{"sample-lm000", "sample-lm001"}));
    for (const Picture& page : lightmaps.pages) {
        EXPECT_EQ(page.width, lightmaps.pageSize);
        EXPECT_EQ(page.height, lightmaps.pageSize);
        EXPECT_EQ(page.width & (page.width - 1), 0);  // a power of two, so a multiple of 4
        const std::string bmp = BmpBytes(page);
        auto u32 = [&](std::size_t at) {
            return static_cast<std::uint32_t>(static_cast<unsigned char>(bmp[at])) |
                   static_cast<std::uint32_t>(static_cast<unsigned char>(bmp[at + 1])) << 8 |
                   static_cast<std::uint32_t>(static_cast<unsigned char>(bmp[at + 2])) << 16 |
                   static_cast<std::uint32_t>(static_cast<unsigned char>(bmp[at + 3])) << 24;
        };
        const std::uint32_t w = u32(18), h = u32(22);
        EXPECT_EQ(bmp.substr(0, 2), "BM");
        EXPECT_EQ(u32(10), 54u);
        EXPECT_EQ(u32(28) & 0xffff, 24u);
        EXPECT_EQ(u32(30), 0u);
        EXPECT_EQ(u32(34), w * h * 3);
        EXPECT_EQ(bmp.size(), 54 + w * h * 3);
        // The model patch: in the top-left corner, so in the last stored rows.
        for (int y = 0; y < kModelPatchSize; ++y)
            for (int x = 0; x < kModelPatchSize; ++x) {
                const std::size_t at = 54 + ((h - 1 - y) * w + x) * 3;
                EXPECT_EQ(static_cast<unsigned char>(bmp[at]), 255);      // blue
                EXPECT_EQ(static_cast<unsigned char>(bmp[at + 1]), 64);   // green
                EXPECT_EQ(static_cast<unsigned char>(bmp[at + 2]), 128);  // red
            }
    }
}

TEST(Lightmaps, TheEnginesImageCodeReadsThePagesAsWritten) {
    const Compiled compiled = CompileText(SampleMap() + "model_patch 0 1 0\n");
    ASSERT_EQ(compiled.error, "");
    TempDir dir;
    std::string error;
    ASSERT_TRUE(WriteOutputs(compiled.map, compiled.level, dir.Path().string(), error)) << error;
    EXPECT_EQ(TempDir::Read(dir.File("sample.bsp")), compiled.level.levelText);
    RecordingRenderer renderer;
    const int size = compiled.level.lightmaps.pageSize;
    for (const std::string name : {"sample-lm000.bmp", "sample-lm001.bmp"}) {
        int width = 0, height = 0;
        ASSERT_TRUE(renderer.ReadImageSize(dir.File(name).c_str(), &width, &height));
        EXPECT_EQ(width, size);
        EXPECT_EQ(height, size);
        // The pixels after the headers, rows flipped as the engine does: the
        // first row is the top, starting with the model patch (blue, green, red).
        std::string bytes = TempDir::Read(dir.File(name)).substr(54);
        ASSERT_EQ(bytes.size(), static_cast<std::size_t>(size * size * 3));
        renderer.FlipRows(reinterpret_cast<std::uint8_t*>(bytes.data()), size * 3, size);
        EXPECT_EQ(bytes.substr(0, 3), std::string("\0\xff\0", 3));
        EXPECT_EQ(bytes.substr(static_cast<std::size_t>(size * 3 * 3), 3), std::string("\0\xff\0", 3));
    }
    EXPECT_FALSE(WriteOutputs(compiled.map, compiled.level, dir.File("missing"), error));
    EXPECT_EQ(error, "cannot write '" + dir.File("missing") + "/sample.bsp': No such file or directory");
}

TEST(Lightmaps, TooManyLightmapsForThePagesIsAnError) {
    const Compiled compiled = CompileText(RoomMap(0, 0, 0, 4000, 100, 4000, "5 5 5") + "lightmap_density 0.5\n");
    EXPECT_NE(compiled.error.find("raise lightmap_density"), std::string::npos) << compiled.error;
}

// A room 40 × 20 × 40 with a light above its middle and a pillar beside it.
const std::string kShadowRoom =
    RoomMap(-20, 0, -20, 20, 20, 20, "0 5 -10") + "box 6 0 -2 10 20 2 pillar\nlight 0 10 0 1 1 1 1.5 60\n";

TEST(Lightmaps, ShadowsFallBehindThePillar) {
    const Compiled compiled = CompileText(kShadowRoom + "bounce 0\ndirt 0\n");
    ASSERT_EQ(compiled.error, "");
    const Vector eye{0, 5, -10};
    // Behind the pillar (seen from the light) against the same distance in the open.
    const int shadow = Brightness(LightAt(compiled, {15, 0, 0}, eye));
    const int open = Brightness(LightAt(compiled, {-15, 0, 0}, eye));
    EXPECT_LT(shadow, open / 4);
    EXPECT_GT(open, 100);
    // Light falls off with distance.
    EXPECT_GT(Brightness(LightAt(compiled, {0, 0, -3}, eye)), Brightness(LightAt(compiled, {-3, 0, -18}, eye)));
}

TEST(Lightmaps, AmbientOcclusionDarkensCorners) {
    const Compiled compiled =
        CompileText(RoomMap(-20, 0, -20, 20, 20, 20, "0 5 0") + "ambient 0.5 0.5 0.5\ndirt 8\nbounce 0\n");
    ASSERT_EQ(compiled.error, "");
    const int middle = Brightness(LightAt(compiled, {0, 0, 0}, {0, 5, 0}));
    const int corner = Brightness(LightAt(compiled, {-19, 0, -19}, {0, 5, 0}));
    EXPECT_EQ(middle, 3 * 128);  // open sky of the hemisphere: the full ambient light
    EXPECT_LT(corner, middle * 3 / 4);
    const Compiled flat = CompileText(RoomMap(-20, 0, -20, 20, 20, 20, "0 5 0") + "ambient 0.5 0.5 0.5\ndirt 0\n");
    EXPECT_EQ(Brightness(LightAt(flat, {-19, 0, -19}, {0, 5, 0})), 3 * 128);
}

// The room of the shadow test without its pillar, lit from 18 units above
// the floor's middle, as the own map text gives it, with no bounce or dirt.
Map LitRoom() {
    Map map;
    Reporter reporter("test.map");
    EXPECT_TRUE(ParseMap(RoomMap(-20, 0, -20, 20, 20, 20, "0 5 -10") + "light 0 18 0 1 1 1 0.5 60\nbounce 0\ndirt 0\n",
                         map, reporter));
    return map;
}

TEST(Lightmaps, FallOffTypesSpotlightsAngleScaleAndAFloorOfAmbientLight) {
    const Vector eye{0, 5, -10};
    // Straight below the light, 18 units away, with the reference distance 6:
    // no fall-off, linear (to 60), inverse and inverse square, brightest first.
    int previous = 3 * 256;
    for (Falloff falloff : {Falloff::None, Falloff::Linear, Falloff::Inverse, Falloff::InverseSquare}) {
        Map map = LitRoom();
        map.lights[0].falloff = falloff;
        map.lights[0].reference = 6;
        const Compiled compiled = CompileMap(map);
        ASSERT_EQ(compiled.error, "");
        const int below = Brightness(LightAt(compiled, {0, 0, 0}, eye));
        EXPECT_LT(below, previous) << static_cast<int>(falloff);
        EXPECT_GT(below, 0);
        previous = below;
    }

    // A spotlight pointing down with a 30° cone: lit inside, dark outside.
    Map spot = LitRoom();
    spot.lights[0].axis = {0, -1, 0};
    spot.lights[0].outerCosine = std::cos(15 * std::numbers::pi / 180);
    spot.lights[0].innerCosine = std::cos(10 * std::numbers::pi / 180);
    const Compiled spotlit = CompileMap(spot);
    ASSERT_EQ(spotlit.error, "");
    EXPECT_GT(Brightness(LightAt(spotlit, {0, 0, 0}, eye)), 100);
    EXPECT_EQ(Brightness(LightAt(spotlit, {12, 0, 0}, eye)), 0);    // 34° off the axis
    EXPECT_EQ(Brightness(LightAt(spotlit, {0, 10, -20}, eye)), 0);  // the walls

    // The angle scale lightens surfaces the light meets at a slant.
    Map flat = LitRoom(), slanted = LitRoom();
    slanted.lights[0].angleScale = 0.5;
    EXPECT_GT(Brightness(LightAt(CompileMap(slanted), {-15, 0, 0}, eye)),
              Brightness(LightAt(CompileMap(flat), {-15, 0, 0}, eye)));

    // Ambient light as a floor: where the light is brighter it is not added.
    Map floor = LitRoom(), added = LitRoom();
    floor.minLight = added.ambient = {0.3, 0.3, 0.3};
    const Compiled floored = CompileMap(floor), sum = CompileMap(added), none = CompileMap(LitRoom());
    EXPECT_EQ(Brightness(LightAt(floored, {0, 0, 0}, eye)), Brightness(LightAt(none, {0, 0, 0}, eye)));
    EXPECT_GT(Brightness(LightAt(sum, {0, 0, 0}, eye)), Brightness(LightAt(none, {0, 0, 0}, eye)));
    EXPECT_EQ(Brightness(LightAt(floored, {0, 20, -19}, eye)), 3 * 77);  // the ceiling, lit at a slant
}

TEST(Lightmaps, OneBounceLightsWhatTheLightCannotSee) {
    // A slab hides the ceiling from the light below it.
    const std::string room =
        RoomMap(-20, 0, -20, 20, 20, 20, "0 5 -15") + "box -12 12 -12 12 13 12 slab\nlight 0 4 0 1 1 1 2 40\ndirt 0\n";
    const Compiled dark = CompileText(room + "bounce 0\n");
    const Compiled bounced = CompileText(room + "bounce 0.6\n");
    ASSERT_EQ(dark.error, "");
    ASSERT_EQ(bounced.error, "");
    const Vector eye{0, 15, 0};
    EXPECT_EQ(Brightness(LightAt(dark, {0, 20, 0}, eye)), 0);
    EXPECT_GT(Brightness(LightAt(bounced, {0, 20, 0}, eye)), 6);
    // Directly lit surfaces gain too, but keep their direct light.
    EXPECT_GE(Brightness(LightAt(bounced, {0, 0, 0}, eye)), Brightness(LightAt(dark, {0, 0, 0}, eye)));
}

TEST(Lightmaps, BounceCopesWithMoreChartsThanPatches) {
    // 400 small cubes: 2400 charts, more than the bounce may have patches.
    std::string text = RoomMap(-210, 0, -210, 210, 40, 210, "0 5 0") + "light 0 30 0 1 1 1 1 400\nbounce 0.5\n";
    for (int i = -10; i < 10; ++i)
        for (int j = -10; j < 10; ++j)
            text += "box " + std::to_string(i * 20 + 5) + " 10 " + std::to_string(j * 20 + 5) + " " +
                    std::to_string(i * 20 + 7) + " 12 " + std::to_string(j * 20 + 7) + " b\n";
    const Compiled compiled = CompileText(text);
    ASSERT_EQ(compiled.error, "");
    EXPECT_GT(compiled.level.lightmaps.charts.size(), 2400u);
    // A cube's underside: the light above cannot reach it, the floor below passes some on.
    EXPECT_GT(Brightness(LightAt(compiled, {6, 10, 6}, {6, 5, 6})), 0);
}

TEST(Lightmaps, ThreadsDoNotChangeTheResult) {
    const Compiled one = CompileText(kShadowRoom + "bounce 0.5\ndirt 6\nambient 0.1 0.1 0.1\n", 1);
    const Compiled two = CompileText(kShadowRoom + "bounce 0.5\ndirt 6\nambient 0.1 0.1 0.1\n", 2);
    ASSERT_EQ(one.error, "");
    ASSERT_EQ(one.level.lightmaps.pages.size(), two.level.lightmaps.pages.size());
    for (std::size_t i = 0; i < one.level.lightmaps.pages.size(); ++i)
        EXPECT_EQ(one.level.lightmaps.pages[i].rgb, two.level.lightmaps.pages[i].rgb);
    EXPECT_EQ(one.level.levelText, two.level.levelText);
}

}  // namespace
