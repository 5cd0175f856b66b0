// Drawing the model through a recording renderer: which matrices are set and
// which polygons are handed over.
#include <array>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "globals/Globals.h"
#include "model/Entity.h"
#include "model/Model.h"
#include "support/files/ModelText.h"
#include "support/files/TempDir.h"
#include "support/stand-ins/RecordingRenderer.h"

namespace {

constexpr float kQuarterTurn = std::numbers::pi_v<float> / 2;

using Point = std::array<float, 3>;

// p * m for the row vector (p, 1), written out from the storage layout.
Point Transform(Point p, const Matrix& m) {
    Point result{};
    for (int c = 0; c < 3; ++c) result[c] = p[0] * m.m[c] + p[1] * m.m[4 + c] + p[2] * m.m[8 + c] + m.m[12 + c];
    return result;
}

// The ordinary row-major product (A x B)(i, j) = sum over k of A(i, k) B(k, j).
Matrix Product(const Matrix& a, const Matrix& b) {
    Matrix result{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            for (int k = 0; k < 4; ++k) result.m[4 * i + j] += a.m[4 * i + k] * b.m[4 * k + j];
    return result;
}

testing::AssertionResult Near(Point actual, Point expected) {
    for (int i = 0; i < 3; ++i)
        if (!(std::fabs(actual[i] - expected[i]) <= 1e-5f))
            return testing::AssertionFailure()
                   << "got (" << actual[0] << ", " << actual[1] << ", " << actual[2] << "), expected (" << expected[0]
                   << ", " << expected[1] << ", " << expected[2] << ")";
    return testing::AssertionSuccess();
}

class ModelDrawTest : public testing::Test {
protected:
    void SetUp() override {
        g_pRenderer = &renderer;
        g_pBlankTexture = &blank;
    }
    void TearDown() override {
        g_pRenderer = nullptr;
        g_pBlankTexture = nullptr;
    }

    // A part made in memory; `parent` is an index into `parts`, -1 for none.
    ModelPart& AddPart(int parent, std::array<float, 3> rotation, std::array<float, 3> translation,
                       int polygonCount = 0) {
        auto& part = storage.emplace_back(std::make_unique<ModelPart>());
        part->parent = parent < 0 ? nullptr : storage[parent].get();
        for (int i = 0; i < 3; ++i) {
            part->rotation[i] = rotation[i];
            part->translation[i] = translation[i];
        }
        part->polygonCount = polygonCount;
        part->polygons = polygonArrays.emplace_back(std::make_unique<Polygon[]>(polygonCount)).get();
        parts.push_back(part.get());
        return *part;
    }

    Model MadeModel() { return Model{parts.data(), static_cast<std::int32_t>(parts.size())}; }

    // Draws the made model with an entity at `position` turned by `yaw`.
    void DrawPlaced(Vector position, float yaw) {
        Entity entity;
        entity.SetModel(MadeModel());
        entity.position = position;
        entity.yaw = yaw;
        EXPECT_TRUE(entity.Draw());
    }

    RecordingRenderer renderer;
    Texture blank;
    std::vector<std::unique_ptr<ModelPart>> storage;
    std::vector<std::unique_ptr<Polygon[]>> polygonArrays;
    std::vector<ModelPart*> parts;
};

TEST_F(ModelDrawTest, AnEmptyModelAsksTheRendererNothing) {
    Entity entity;
    EXPECT_TRUE(entity.Draw());
    EXPECT_TRUE(renderer.calls.empty());
}

TEST_F(ModelDrawTest, SetModelSharesThePartArray) {
    AddPart(-1, {0, 0, 0}, {0, 0, 0});
    const Model model = MadeModel();
    Entity entity;
    entity.SetModel(model);
    EXPECT_EQ(entity.model.parts, model.parts);
    EXPECT_EQ(entity.model.partCount, 1);
}

TEST_F(ModelDrawTest, ThePartsRotationActsOnTheEntitysTranslation) {
    AddPart(-1, {0, kQuarterTurn, 0}, {0, 0, 0});
    DrawPlaced({1, 0, 0}, 0);
    ASSERT_EQ(renderer.matrices.size(), 1u);
    EXPECT_TRUE(Near(Transform({0, 0, 0}, renderer.matrices[0].second), {0, 0, 1}));
}

TEST_F(ModelDrawTest, TheEntitysYawTurnsXTowardsZ) {
    AddPart(-1, {0, 0, 0}, {0, 0, 0});
    DrawPlaced({0, 0, 0}, kQuarterTurn);
    ASSERT_EQ(renderer.matrices.size(), 1u);
    EXPECT_TRUE(Near(Transform({1, 0, 0}, renderer.matrices[0].second), {0, 0, 1}));
}

TEST_F(ModelDrawTest, APartIsPlacedThroughItsWholeParentChain) {
    // Top part A, B on A, C on B, and D with no parent; every transform a
    // quarter turn or a shift, so each step can be followed by hand.
    AddPart(-1, {0, 0, kQuarterTurn}, {0, 0, 5});  // A
    AddPart(0, {0, kQuarterTurn, 0}, {0, 1, 0});   // B
    AddPart(1, {kQuarterTurn, 0, 0}, {2, 0, 0});   // C
    AddPart(-1, {0, 0, 0}, {0, 0, 0});             // D
    renderer.current = MakeTranslation(0, 0, 100);
    DrawPlaced({1, 0, 0}, kQuarterTurn);

    ASSERT_EQ(renderer.matrices.size(), 4u);
    for (const auto& [kind, matrix] : renderer.matrices) EXPECT_EQ(kind, MatrixKind::World);
    // C's point (0, 1, 0): the current matrix moves it to (0, 1, 100); yaw
    // (x, y, z) -> (-z, y, x) gives (-100, 1, 0); the entity's position
    // (-99, 1, 0); C's X turn (x, y, z) -> (x, z, -y) gives (-99, 0, -1) and
    // its shift (-97, 0, -1); B's Y turn (-(-1), 0, -97) = (1, 0, -97) and its
    // shift (1, 1, -97); A's Z turn (x, y, z) -> (y, -x, z) gives (1, -1, -97)
    // and its shift (1, -1, -92).
    const Matrix& c = renderer.matrices[2].second;
    EXPECT_TRUE(Near(Transform({0, 1, 0}, c), {1, -1, -92}));

    const Matrix expected =
        Product(Product(Product(Product(renderer.current, MakeRotationY(kQuarterTurn)), MakeTranslation(1, 0, 0)),
                        Product(Product(MakeRotationX(kQuarterTurn), MakeTranslation(2, 0, 0)),
                                Product(MakeRotationY(kQuarterTurn), MakeTranslation(0, 1, 0)))),
                Product(MakeRotationZ(kQuarterTurn), MakeTranslation(0, 0, 5)));
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(c.m[i], expected.m[i], 1e-5f) << "element " << i;

    // D has no parent: only the current matrix and the entity place it.
    EXPECT_TRUE(Near(Transform({0, 0, 0}, renderer.matrices[3].second), {-99, 0, 0}));
}

TEST_F(ModelDrawTest, EachPartStartsFromTheCurrentMatrixAndSetsItsOwnEvenWithoutPolygons) {
    AddPart(-1, {0, 0, 0}, {1, 0, 0}, 2);
    AddPart(-1, {0, 0, 0}, {2, 0, 0}, 0);
    AddPart(-1, {0, 0, 0}, {3, 0, 0}, 1);
    DrawPlaced({0, 0, 0}, 0);
    EXPECT_EQ(renderer.calls, (std::vector<std::string>{"GetCurrentMatrix", "SetMatrix", "DrawPolygon", "DrawPolygon",
                                                        "GetCurrentMatrix", "SetMatrix", "GetCurrentMatrix",
                                                        "SetMatrix", "DrawPolygon"}));
    ASSERT_EQ(renderer.matrices.size(), 3u);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(Near(Transform({0, 0, 0}, renderer.matrices[i].second), {i + 1.0f, 0, 0}));
}

TEST_F(ModelDrawTest, WithoutAnEntityOnlyThePartsPlaceIt) {
    AddPart(-1, {0, 0, 0}, {1, 2, 3});
    renderer.current = MakeTranslation(10, 20, 30);
    Model model = MadeModel();
    EXPECT_TRUE(model.Draw(nullptr));
    ASSERT_EQ(renderer.matrices.size(), 1u);
    EXPECT_TRUE(Near(Transform({0, 0, 0}, renderer.matrices[0].second), {11, 22, 33}));
}

TEST_F(ModelDrawTest, PolygonsGoOverWithTheBlankTextureAndAreNotCounted) {
    ModelPart& part = AddPart(-1, {0, 0, 0}, {0, 0, 0}, 2);
    Texture other;
    part.polygons[0].texture = &other;
    part.polygons[1].vertices[2].position[0] = 7.0f;
    std::snprintf(part.polygons[1].lightmapName, sizeof part.polygons[1].lightmapName, "lm");
    g_PolygonsRendered = 12;
    DrawPlaced({0, 0, 0}, 0);

    EXPECT_EQ(part.polygons[0].texture, &blank);
    EXPECT_EQ(part.polygons[1].texture, &blank);
    ASSERT_EQ(renderer.polygons.size(), 2u);
    EXPECT_EQ(renderer.polygons[0].texture, &blank);
    EXPECT_EQ(renderer.polygons[1].texture, &blank);
    EXPECT_EQ(renderer.polygons[1].vertices[2].position[0], 7.0f);
    EXPECT_STREQ(renderer.polygons[1].lightmapName, "lm");
    EXPECT_EQ(renderer.polygons[1].lightmapIndex, 0);
    EXPECT_EQ(renderer.polygons[1].textured, 0);
    EXPECT_EQ(g_PolygonsRendered, 12);
}

TEST_F(ModelDrawTest, ALoadedModelDrawsWhereTheStartUpPlacesIt) {
    TempDir dir;
    Model model;
    ASSERT_TRUE(model.Load(dir.Write("model.mdl", ModelText({{"A", "-", "0 0 0", "0 0 0", {kTriangleText}},
                                                             {"B", "A", "1 0 0", "0 0 0", {}}}))
                               .c_str()));
    Entity entity;
    entity.SetModel(model);
    entity.position = {0, 2.5f, 0};
    EXPECT_TRUE(entity.Draw());
    ASSERT_EQ(renderer.matrices.size(), 2u);
    EXPECT_TRUE(Near(Transform({0, 0, 0}, renderer.matrices[0].second), {0, 2.5f, 0}));
    EXPECT_TRUE(Near(Transform({0, 0, 0}, renderer.matrices[1].second), {1, 2.5f, 0}));
    ASSERT_EQ(renderer.polygons.size(), 1u);
    EXPECT_EQ(renderer.polygons[0].texture, &blank);
}

}  // namespace
