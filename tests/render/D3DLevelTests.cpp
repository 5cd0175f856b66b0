// The Direct3D-style renderer drawing a level and the model, on a real
// window, Xvfb and Mesa.
#include "globals/Globals.h"
#include "support/observe/D3DRendererFixture.h"

namespace {

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

TEST_F(D3DLevelTest, LeavingOutWhatCannotBeSeenChangesNoFrame) {
    Start();
    WriteRoomGrid(dir);
    ASSERT_TRUE(g_Bsp.Load("Test.bsp"));
    seam::StartRecording();
    ExpectCullingToChangeNoFrame(
        [this] {
            auto handed = [] {
                const std::vector<std::string> calls = seam::CallNames();
                return static_cast<int>(std::count(calls.begin(), calls.end(), "DrawPolygon"));
            };
            const int before = handed();
            renderer.RenderFrame();
            return handed() - before;
        },
        true);
}

// The level's pictures drawn from texture arrays by one program look as the
// fixed-function units draw them, depth included, in far fewer draws.
TEST_F(D3DLevelTest, TextureArraysDrawTheFramesOfTheFixedFunctionUnits) {
    Start();
    WriteRoomGrid(dir);
    ASSERT_TRUE(g_Bsp.Load("Test.bsp"));
    seam::SetTickCount(1000);  // the overlay's frame rate stays as it is
    seam::StartRecording();
    auto draw = [this](bool layers) {
        SetTextureLayers(layers);
        const std::vector<std::string> before = seam::CallNames();
        renderer.RenderFrame();
        const std::vector<std::string> calls = seam::CallNames();
        return std::count(calls.begin() + static_cast<std::ptrdiff_t>(before.size()), calls.end(), "DrawBatch");
    };
    for (const GridView& view : kGridViews) {
        SCOPED_TRACE(::testing::Message() << "from " << view.position.x << ", " << view.position.y << ", "
                                          << view.position.z << " yaw " << view.yaw << " pitch " << view.pitch);
        g_Player.position = view.position;
        g_Player.yaw = view.yaw;
        g_Player.pitch = view.pitch;
        const auto unitDraws = draw(false);
        const std::vector<std::uint8_t> units = DisplayColourAndDepth();
        const auto arrayDraws = draw(true);
        EXPECT_TRUE(DisplayColourAndDepth() == units) << "the frames differ";
        if (unitDraws > 20) {
            EXPECT_LT(4 * arrayDraws, unitDraws);
        }
    }
    SetTextureLayers(true);
}

}  // namespace
