// The demo asset pack as the build made it: every entry the engine unpacks is
// there, in order, of the kind the engine reads; the level fits the player's
// movement; the model stands in view, jointed and lit; and the pack is made the
// same way twice.
#include <gtest/gtest.h>
#include <mpg123.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "content/Music.h"
#include "content/Textures.h"
#include "globals/Globals.h"
#include "level/Bsp.h"
#include "model/Entity.h"
#include "model/Model.h"
#include "pack/Pack.h"
#include "pack/UnpackTable.h"
#include "support/files/Orvtool.h"
#include "support/files/TempDir.h"
#include "support/stand-ins/RecordingRenderer.h"

namespace {

const std::string kBuiltPack = ORV_PACK_PATH;

std::uint32_t Field(const std::string& bytes, std::size_t at, int size) {
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes.at(at + i));
    return value;
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The pack's entries unpacked into a directory of the test's own.
class DemoPack : public ::testing::Test {
protected:
    void SetUp() override {
        FILE* pack = OpenPack(kBuiltPack.c_str());
        ASSERT_NE(pack, nullptr) << kBuiltPack;
        count = g_PackEntryCount;
        for (int i = 0; i < g_PackEntryCount; ++i) names.push_back(g_PackEntries[i].name);
        for (const auto& asset : kUnpackTable) ExtractPackEntry(pack, asset.entry, dir.File(asset.file).c_str());
        ClosePack(pack);
    }

    std::string Read(const std::string& file) const { return TempDir::Read(dir.File(file)); }

    TempDir dir;
    int count = 0;
    std::vector<std::string> names;
};

TEST_F(DemoPack, HoldsExactlyTheUnpackTableInOrderAndNothingEmptyInUnder8MB) {
    EXPECT_LT(TempDir::Read(kBuiltPack).size(), 8u << 20);
    ASSERT_EQ(count, static_cast<int>(kUnpackTable.size()));
    for (std::size_t i = 0; i < kUnpackTable.size(); ++i) {
        EXPECT_EQ(names[i], kUnpackTable[i].entry);
        EXPECT_FALSE(Read(kUnpackTable[i].file).empty()) << kUnpackTable[i].file;
    }
}

TEST_F(DemoPack, PicturesAre24BitUncompressedWithUnpaddedPowerOfTwoRows) {
    for (const auto& asset : kUnpackTable) {
        const std::string file = asset.file;
        if (!EndsWith(file, ".bmp")) continue;
        SCOPED_TRACE(file);
        const std::string bmp = Read(file);
        ASSERT_GE(bmp.size(), 54u);
        EXPECT_EQ(bmp.substr(0, 2), "BM");
        const std::uint32_t width = Field(bmp, 18, 4), height = Field(bmp, 22, 4);
        EXPECT_EQ(Field(bmp, 28, 2), 24u);  // bits per pixel
        EXPECT_EQ(Field(bmp, 30, 4), 0u);   // no compression
        EXPECT_EQ(Field(bmp, 34, 4), width * height * 3);
        EXPECT_EQ(bmp.size(), Field(bmp, 10, 4) + width * height * 3);
        EXPECT_EQ(width & (width - 1), 0u);
        EXPECT_EQ(height & (height - 1), 0u);
        if (file.rfind("test-lm", 0) != 0 && file != "lmblank.bmp") {  // textures, crisp close up
            EXPECT_EQ(width, 256u);
            EXPECT_EQ(height, 256u);
        }
    }
    const std::string blank = Read("lmblank.bmp");
    EXPECT_EQ(blank.find_first_not_of('\xff', Field(blank, 10, 4)), std::string::npos) << "lmblank is pure white";
}

TEST_F(DemoPack, JumpSoundIsShort8BitMonoPcmWithTheFormatChunkFirst) {
    const std::string wav = Read("jump.wav");
    ASSERT_GE(wav.size(), 44u);
    EXPECT_EQ(wav.substr(0, 4), "RIFF");
    EXPECT_EQ(wav.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(Field(wav, 20, 2), 1u);  // PCM
    EXPECT_EQ(Field(wav, 22, 2), 1u);  // mono
    EXPECT_EQ(Field(wav, 24, 4), 11025u);
    EXPECT_EQ(Field(wav, 34, 2), 8u);
    const std::size_t data = 20 + Field(wav, 16, 4);
    ASSERT_EQ(wav.substr(data, 4), "data");
    const std::uint32_t samples = Field(wav, data + 4, 4);
    EXPECT_GT(samples, 0u);
    EXPECT_LT(samples, 11025u / 2);
    EXPECT_LE(data + 8 + samples, wav.size());
    // It ends at rest, so stopping never clicks.
    EXPECT_NEAR(static_cast<unsigned char>(wav[data + 8 + samples - 1]), 128, 2);
}

TEST_F(DemoPack, MusicDecodesToItsWholeLengthAt44100HzStereo) {
    ASSERT_EQ(mpg123_init(), MPG123_OK);
    mpg123_handle* decoder = mpg123_new(nullptr, nullptr);
    ASSERT_NE(decoder, nullptr);
    ASSERT_EQ(mpg123_open(decoder, dir.File("test.mp3").c_str()), MPG123_OK);
    long rate = 0;
    int channels = 0, encoding = 0;
    std::size_t decoded = 0;
    std::vector<unsigned char> buffer(65536);
    int result;
    do {
        std::size_t done = 0;
        result = mpg123_read(decoder, buffer.data(), buffer.size(), &done);
        if (result == MPG123_NEW_FORMAT) mpg123_getformat(decoder, &rate, &channels, &encoding);
        decoded += done;
    } while (result == MPG123_OK || result == MPG123_NEW_FORMAT);
    EXPECT_EQ(result, MPG123_DONE) << mpg123_plain_strerror(result);
    mpg123_frameinfo info{};
    ASSERT_EQ(mpg123_info(decoder, &info), MPG123_OK);
    EXPECT_GE(info.bitrate, 128);
    mpg123_close(decoder);
    mpg123_delete(decoder);

    EXPECT_EQ(rate, 44100);
    EXPECT_EQ(channels, 2);
    ASSERT_EQ(encoding, MPG123_ENC_SIGNED_16);
    const std::size_t frames = decoded / 4;
    // The encoder's information frame lets the decoder drop its padding, so
    // the track is as long as what was encoded, give or take one MP3 frame.
    EXPECT_NEAR(static_cast<double>(frames), orvcontent::kMusicFrames, 1152);
    EXPECT_GE(frames / 44100.0, 30.0);
    EXPECT_LE(frames / 44100.0, 90.0);
}

TEST(DemoMusic, LoopsWithoutAStep) {
    const std::vector<std::int16_t> music = orvcontent::RenderMusic();
    ASSERT_EQ(music.size(), 2u * orvcontent::kMusicFrames);
    // The jump from the last frame to the first is no larger than the largest
    // step between neighbouring frames inside the track.
    int largest = 0;
    for (std::size_t i = 2; i < music.size(); ++i) largest = std::max(largest, std::abs(music[i] - music[i - 2]));
    for (int channel = 0; channel < 2; ++channel)
        EXPECT_LE(std::abs(music[channel] - music[music.size() - 2 + channel]), largest);
}

// The level as the engine reads it, with probes of its solid space.
class DemoLevel : public DemoPack {
protected:
    void SetUp() override {
        DemoPack::SetUp();
        ASSERT_TRUE(level.ReadTree(dir.File("test.bsp").c_str(), nodes));
    }
    void TearDown() override { level.FreeTree(&level.root); }

    bool Solid(float x, float y, float z) { return level.IsPointSolid(x, y, z); }

    // The height of the ground under (x, z), found from above to a quarter unit.
    float Ground(float x, float z, float from = 20) {
        for (float y = from + 0.125f; y > -8; y -= 0.25f)
            if (Solid(x, y, z)) return y + 0.125f;
        return -100;
    }

    Bsp level;
    std::vector<BspNode*> nodes;
};

TEST_F(DemoLevel, StartEyeIsFiveAboveAFloorAtZero) {
    EXPECT_FALSE(Solid(0, 5, 0));
    EXPECT_FALSE(Solid(0, 0.1f, 0));
    EXPECT_TRUE(Solid(0, -0.1f, 0));
    EXPECT_TRUE(Solid(0, -1, 0));
}

TEST_F(DemoLevel, UsesEveryTextureWhereItBelongsAndItsFiveLightmapPages) {
    std::set<std::string> textures, lightmaps;
    std::set<std::string> upward;  // textures on faces pointing up
    for (const BspNode* node : nodes) {
        for (int i = 0; i < node->polygonCount; ++i) {
            const Polygon& polygon = node->polygons[i];
            if (polygon.textured) textures.insert(polygon.textureName);
            lightmaps.insert(polygon.lightmapName);
            if (polygon.textured && polygon.normal[1] > 0.9f) upward.insert(polygon.textureName);
        }
    }
    for (const std::string& name : orvcontent::TextureNames()) {
        if (name != "lmblank") {
            EXPECT_TRUE(textures.count(name)) << name;
        }
    }
    for (const std::string& name : lightmaps) EXPECT_EQ(name.rfind("test-lm00", 0), 0u) << name;
    EXPECT_LE(lightmaps.size(), 5u);
    for (const char* floor : {"floor0", "floor1", "stair0", "ramp0"}) EXPECT_TRUE(upward.count(floor)) << floor;
    for (const char* wall : {"wall0", "wall1", "wall2", "wall4"}) EXPECT_FALSE(upward.count(wall)) << wall;
}

TEST_F(DemoLevel, DoorwaysJoinTheHallToBothSideRooms) {
    for (float x : {-36.0f, 36.0f}) {
        EXPECT_FALSE(Solid(x, 5, 14)) << x;      // the opening
        EXPECT_TRUE(Solid(x, 5, 0)) << x;        // the wall beside it
        EXPECT_TRUE(Solid(x, 13, 14)) << x;      // the frame's lintel
        EXPECT_FALSE(Solid(x * 2, 5, 14)) << x;  // the room beyond
    }
}

TEST_F(DemoLevel, StaircaseClimbsToTheLedgeInStepsOfAtMostOne) {
    float previous = Ground(54, -18);
    EXPECT_EQ(previous, 0);
    for (int step = 0; step < 8; ++step) {
        const float height = Ground(57.5f + 3 * step, -18);
        EXPECT_GT(height, previous);
        EXPECT_LE(height - previous, 1.0f) << "step " << step;
        previous = height;
    }
    EXPECT_EQ(Ground(90, -18), previous);  // the ledge is the top step's level
}

TEST_F(DemoLevel, LedgeDropsMoreThanOneUnit) {
    const float top = Ground(82, 20), below = Ground(78, 20);
    EXPECT_EQ(top, 8);
    EXPECT_EQ(below, 0);
    EXPECT_FALSE(Solid(82, 13, 20));  // room to stand on it
}

TEST_F(DemoLevel, RampRisesGentlyToThePlatform) {
    float previous = Ground(-54, 32);
    EXPECT_EQ(previous, 0);
    for (float x = -56; x >= -80; x -= 1) {
        const float height = Ground(x, 32);
        EXPECT_LE(height - previous, 0.5f) << x;
        previous = height;
    }
    EXPECT_NEAR(Ground(-90, 32), 6, 0.01);
}

TEST_F(DemoLevel, CratesCanBeJumpedOntoOneAfterAnother) {
    EXPECT_EQ(Ground(17, 45), 3);
    EXPECT_EQ(Ground(24, 44), 6);
    EXPECT_FALSE(Solid(24, 11.5f, 44));  // headroom on the high crate
}

TEST_F(DemoLevel, LowPassageLeavesRoomToWalkButNotToJump) {
    for (float z : {-28.0f, -40.0f}) {
        EXPECT_EQ(Ground(0, z, 6), 0) << z;
        EXPECT_FALSE(Solid(0, 5, z)) << z;
        EXPECT_TRUE(Solid(0, 7.5f, z)) << z;  // a jump's 4 units would take the eye to 9
    }
    EXPECT_FALSE(Solid(0, 12, -64));  // the store room beyond is tall again
}

// The model as the engine loads it, placed as the start-up places its entity.
// The player walked through the demo level by the engine's own update
// (orvtool walk): one row per frame, the player after the update.
struct WalkFrame {
    float x, y, z;
    bool airborne;
};

class DemoWalk : public DemoPack {
protected:
    std::vector<WalkFrame> Walk(const std::string& script, const std::vector<std::string>& start = {}) {
        std::vector<std::string> args = {"walk", dir.File("test.bsp"), script};
        args.insert(args.end(), start.begin(), start.end());
        const ToolResult result = RunOrvtool(args);
        EXPECT_EQ(result.status, 0) << result.err;
        std::vector<WalkFrame> frames;
        for (const char* line = result.out.c_str(); *line;) {
            int frame = 0, airborne = 0;
            float x, y, z, yaw, pitch, vx, vy, vz;
            if (std::sscanf(line, "%d %f %f %f %f %f %f %f %f %d", &frame, &x, &y, &z, &yaw, &pitch, &vx, &vy, &vz,
                            &airborne) == 10)
                frames.push_back({x, y, z, airborne != 0});
            const char* next = std::strchr(line, '\n');
            if (!next) break;
            line = next + 1;
        }
        return frames;
    }
};

TEST_F(DemoWalk, ThePlayerStandsStillAtTheStart) {
    const auto frames = Walk("-*60");
    ASSERT_EQ(frames.size(), 60u);
    for (const WalkFrame& frame : frames) {
        EXPECT_FLOAT_EQ(frame.x, 0.0f);
        EXPECT_FLOAT_EQ(frame.y, 5.0f);
        EXPECT_FLOAT_EQ(frame.z, 0.0f);
        EXPECT_FALSE(frame.airborne);
    }
}

TEST_F(DemoWalk, TheStaircaseLeadsUpToTheLedge) {
    // From the gallery floor beside the first step, sideways (D) along the stairs.
    const auto frames = Walk("d*300", {"--start", "50", "5", "-18"});
    ASSERT_FALSE(frames.empty());
    EXPECT_GT(frames.back().x, 80.0f) << "on the ledge";
    EXPECT_NEAR(frames.back().y, 13.0f, 0.2f) << "the eye 5 above the ledge's top at 8";
    for (const WalkFrame& frame : frames) EXPECT_GT(frame.y, 4.9f) << "climbed step by step, never dropping";
}

TEST_F(DemoWalk, WalkingOffTheLedgeFallsToTheFloor) {
    const auto frames = Walk("a*200", {"--start", "90", "13", "0"});
    ASSERT_FALSE(frames.empty());
    bool fell = false;
    for (const WalkFrame& frame : frames) fell = fell || frame.airborne;
    EXPECT_TRUE(fell);
    EXPECT_NEAR(frames.back().y, 5.0f, 0.2f);
    EXPECT_LT(frames.back().x, 80.0f);
}

TEST_F(DemoWalk, TheLowCrateBlocksAWalkButNotAJump) {
    // The crate at x 14..20, z 42..48, 3 high.
    const auto walked = Walk("w*60", {"--start", "17", "5", "36"});
    ASSERT_FALSE(walked.empty());
    EXPECT_LT(walked.back().z, 42.0f);
    // A short run-up, a jump, then the keys released: the player stops on the top.
    const auto jumped = Walk("space w*3 -*60", {"--start", "17", "5", "39"});
    ASSERT_FALSE(jumped.empty());
    EXPECT_FALSE(jumped.back().airborne);
    EXPECT_GT(jumped.back().z, 42.0f);
    EXPECT_LT(jumped.back().z, 48.0f);
    EXPECT_NEAR(jumped.back().y, 8.0f, 0.2f) << "standing on the crate's top at 3";
}

// The model as the engine loads it and draws it, placed as the start-up
// places its entity: every triangle in world space, with its part.
class DemoModel : public DemoPack {
protected:
    struct WorldTriangle {
        int part;
        Vector v[3];
        const Polygon* polygon;
    };

    void SetUp() override {
        DemoPack::SetUp();
        {
            ScopedCurrentDir inDir(dir.Path());
            ASSERT_TRUE(model.Load("Test.mdl"));
        }
        Entity entity;
        entity.SetModel(model);
        entity.position = {0.0f, 2.5f, 0.0f};
        RecordingRenderer renderer;
        g_pRenderer = &renderer;
        entity.Draw();
        g_pRenderer = nullptr;
        ASSERT_EQ(renderer.matrices.size(), static_cast<std::size_t>(model.partCount));
        for (int i = 0; i < model.partCount; ++i) {
            const float* m = renderer.matrices[static_cast<std::size_t>(i)].second.m;
            for (int q = 0; q < model.parts[i]->polygonCount; ++q) {
                const Polygon& polygon = model.parts[i]->polygons[q];
                WorldTriangle t{i, {}, &polygon};
                for (int k = 0; k < 3; ++k) {
                    const float* p = polygon.vertices[k].position;
                    t.v[k] = {p[0] * m[0] + p[1] * m[4] + p[2] * m[8] + m[12],
                              p[0] * m[1] + p[1] * m[5] + p[2] * m[9] + m[13],
                              p[0] * m[2] + p[1] * m[6] + p[2] * m[10] + m[14]};
                }
                triangles.push_back(t);
            }
        }
    }

    Model model;
    std::vector<WorldTriangle> triangles;
};

TEST_F(DemoModel, IsAFewHundredTrianglesInPartsHangingAtAnglesThreeLevelsDeep) {
    ASSERT_GE(model.partCount, 4);
    int deepest = 0;
    for (int i = 0; i < model.partCount; ++i) {
        const ModelPart& part = *model.parts[i];
        int depth = 0;
        for (const ModelPart* at = &part; at->parent; at = at->parent) ++depth;
        deepest = std::max(deepest, depth);
        EXPECT_GT(part.polygonCount, 0) << part.name;
        EXPECT_GT(std::fabs(part.rotation[0]) + std::fabs(part.rotation[1]) + std::fabs(part.rotation[2]), 0.1f)
            << part.name << " is turned at its joint";
    }
    EXPECT_GE(deepest, 3);
    EXPECT_GE(triangles.size(), 300u);
    EXPECT_LE(triangles.size(), 1500u);
}

// Each part is a closed surface, every edge shared by two of its triangles
// running opposite ways, enclosing a positive volume: its triangles all face
// out, so the culling the model is drawn with keeps the outside.
TEST_F(DemoModel, EachPartIsAClosedSurfaceFacingOut) {
    for (int i = 0; i < model.partCount; ++i) {
        SCOPED_TRACE(model.parts[i]->name);
        std::map<std::array<float, 6>, int> edges;  // directed edge -> count
        double volume = 0;
        for (int q = 0; q < model.parts[i]->polygonCount; ++q) {
            const Vertex* v = model.parts[i]->polygons[q].vertices;
            for (int k = 0; k < 3; ++k) {
                const float* a = v[k].position;
                const float* b = v[(k + 1) % 3].position;
                ++edges[{a[0], a[1], a[2], b[0], b[1], b[2]}];
            }
            const float* a = v[0].position;
            const float* b = v[1].position;
            const float* c = v[2].position;
            volume += (a[0] * (b[1] * c[2] - b[2] * c[1]) - a[1] * (b[0] * c[2] - b[2] * c[0]) +
                       a[2] * (b[0] * c[1] - b[1] * c[0])) /
                      6;
        }
        EXPECT_GT(volume, 0.01);
        int unmatched = 0;
        for (const auto& [edge, count] : edges) {
            const auto reverse = edges.find({edge[3], edge[4], edge[5], edge[0], edge[1], edge[2]});
            if (count != 1 || reverse == edges.end() || reverse->second != 1) ++unmatched;
        }
        EXPECT_EQ(unmatched, 0);
    }
}

// The skin: every coordinate inside the model patch, spread over it, and the
// texels they point at a range from shadow to glow - the same in every page,
// since the model is drawn with whichever page the level binds first.
TEST_F(DemoModel, CoordinatesSpreadOverAShadedSkinInEveryPagesModelPatch) {
    const std::string page = Read("test-lm000.bmp");
    const int width = static_cast<int>(Field(page, 18, 4)), height = static_cast<int>(Field(page, 22, 4));
    constexpr int kPatch = 128;
    std::set<std::pair<int, int>> texels;
    int darkest = 255 * 3, brightest = 0;
    for (const WorldTriangle& t : triangles)
        for (const Vertex& v : t.polygon->vertices) {
            const double x = v.lightmapCoord[0] * width, y = v.lightmapCoord[1] * height;
            // At texel centres or between them, so filtering reads only the patch.
            ASSERT_GE(x, 0.499);
            ASSERT_GE(y, 0.499);
            ASSERT_LE(x, kPatch - 0.499);
            ASSERT_LE(y, kPatch - 0.499);
            texels.insert({static_cast<int>(x), static_cast<int>(y)});
            // Rows are stored bottom first.
            const std::size_t at =
                Field(page, 10, 4) +
                (static_cast<std::size_t>(height - 1 - static_cast<int>(y)) * width + static_cast<int>(x)) * 3;
            const int sum = static_cast<unsigned char>(page.at(at)) + static_cast<unsigned char>(page.at(at + 1)) +
                            static_cast<unsigned char>(page.at(at + 2));
            darkest = std::min(darkest, sum);
            brightest = std::max(brightest, sum);
        }
    EXPECT_GE(texels.size(), 300u);
    EXPECT_LT(darkest, 3 * 60);
    EXPECT_GT(brightest, 3 * 235);
    auto patch = [&](const std::string& bmp) {
        std::string rows;
        for (int y = 0; y < kPatch; ++y)
            rows += bmp.substr(Field(bmp, 10, 4) + static_cast<std::size_t>(height - 1 - y) * width * 3, kPatch * 3);
        return rows;
    };
    for (const char* other : {"test-lm001.bmp", "test-lm002.bmp", "test-lm003.bmp", "test-lm004.bmp"})
        EXPECT_TRUE(patch(Read(other)) == patch(page)) << other;
}

TEST_F(DemoModel, StandsInOpenSpaceInViewOfTheStart) {
    Bsp level;
    std::vector<BspNode*> nodes;
    ASSERT_TRUE(level.ReadTree(dir.File("test.bsp").c_str(), nodes));
    for (const WorldTriangle& t : triangles)
        for (const Vector& p : t.v) {
            // Ahead of the eye at (0, 5, 0) looking along +z, inside a 90 degree view.
            EXPECT_GT(p.z, 4);
            EXPECT_LT(std::fabs(p.x), p.z);
            EXPECT_LT(std::fabs(p.y - 5), p.z);
            EXPECT_GE(p.y, -0.01f);  // not below the floor
            EXPECT_FALSE(level.IsPointSolid(p.x, p.y + 0.01f, p.z));
        }
    // Nothing solid between the eye and the model.
    for (std::size_t i = 0; i < triangles.size(); i += 10) {
        const Vector& p = triangles[i].v[0];
        for (float f = 0.05f; f < 0.95f; f += 0.05f)
            EXPECT_FALSE(level.IsPointSolid(p.x * f, 5 + (p.y - 5) * f, p.z * f));
    }
    level.FreeTree(&level.root);
}

// The pack is made again from the sources, twice, by the same steps the build
// takes; every run gives the bytes of the built pack.
TEST(DemoPackBuild, GivesTheSameBytesEveryTime) {
    const std::string built = TempDir::Read(kBuiltPack);
    for (int run = 0; run < 2; ++run) {
        TempDir out;
        const std::string dir = out.Path().string();
        auto run_ok = [](const std::vector<std::string>& args) {
            const ToolResult result = RunOrvtool(args);
            EXPECT_EQ(result.status, 0) << args[0] << " " << args[1] << ": " << result.err;
        };
        run_ok({"content", "level", std::string(ORV_SOURCE_DIR) + "/content/test.map", dir});
        for (const std::string& name : orvcontent::TextureNames())
            run_ok({"content", "texture", name, out.File(name + ".bmp")});
        run_ok({"content", "jump", out.File("jump.wav")});
        run_ok({"content", "music", out.File("test.mp3")});
        run_ok({"content", "pack", out.File("pack.zar"), dir});
        EXPECT_TRUE(TempDir::Read(out.File("pack.zar")) == built) << "run " << run;
    }
}

}  // namespace
