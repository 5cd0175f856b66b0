// The model file reader, on model files written by the tests.
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "model/Model.h"
#include "support/files/ModelText.h"
#include "support/files/TempDir.h"

namespace {

class ModelLoadTest : public testing::Test {
protected:
    // Loads `text` from a file into a new Model.
    Model Load(const std::string& text, bool* result = nullptr) {
        Model model;
        const bool loaded = model.Load(dir.Write("model.mdl", text).c_str());
        if (result) *result = loaded;
        return model;
    }

    // Expects the load of `text` to fail and leave the new Model empty.
    void ExpectRefused(const std::string& text) {
        bool loaded = true;
        const Model model = Load(text, &loaded);
        EXPECT_FALSE(loaded) << text;
        EXPECT_EQ(model.partCount, 0);
        EXPECT_EQ(model.parts, nullptr);
    }

    TempDir dir;
};

// The small complete model: A with one triangle, and B placed on A.
const std::vector<PartText> kSmallModel = {
    {"A", "whatever", "0 0 0", "0 0 0", {kTriangleText}},
    {"B", "A", "1 0 0", "0 0 0", {}},
};

TEST_F(ModelLoadTest, TheSmallModelLoadsAsWritten) {
    bool loaded = false;
    const Model model = Load(ModelText(kSmallModel), &loaded);
    ASSERT_TRUE(loaded);
    ASSERT_EQ(model.partCount, 2);
    const ModelPart& a = *model.parts[0];
    const ModelPart& b = *model.parts[1];
    EXPECT_STREQ(a.name, "A");
    EXPECT_EQ(a.parent, nullptr);
    EXPECT_STREQ(b.name, "B");
    EXPECT_EQ(b.parent, &a);
    EXPECT_EQ(b.translation[0], 1.0f);
    EXPECT_EQ(b.polygonCount, 0);

    ASSERT_EQ(a.polygonCount, 1);
    const Polygon& polygon = a.polygons[0];
    const float expected[3][5] = {{0, 0, 0, 0, 0}, {0, 1, 0, 0, 1}, {1, 0, 0, 1, 0}};
    for (int v = 0; v < 3; ++v) {
        for (int c = 0; c < 3; ++c) EXPECT_EQ(polygon.vertices[v].position[c], expected[v][c]);
        for (int c = 0; c < 2; ++c) EXPECT_EQ(polygon.vertices[v].lightmapCoord[c], expected[v][3 + c]);
    }
    EXPECT_STREQ(polygon.lightmapName, "lm");
    EXPECT_EQ(polygon.textured, 0);
    EXPECT_STREQ(polygon.textureName, "");
    EXPECT_EQ(polygon.lightmapIndex, 0);
    EXPECT_EQ(polygon.texture, nullptr);
    // Normalise(Cross(V1 - V0, V2 - V0)) = Cross((0, 1, 0), (1, 0, 0)).
    EXPECT_EQ(polygon.normal[0], 0.0f);
    EXPECT_EQ(polygon.normal[1], 0.0f);
    EXPECT_EQ(polygon.normal[2], -1.0f);
}

TEST_F(ModelLoadTest, TheFileGivesTranslationBeforeRotation) {
    const Model model = Load(ModelText({{"A", "-", "1 2 3", "0.5 -1.5 2e-1", {}}}));
    ASSERT_EQ(model.partCount, 1);
    const ModelPart& part = *model.parts[0];
    EXPECT_EQ(part.translation[0], 1.0f);
    EXPECT_EQ(part.translation[1], 2.0f);
    EXPECT_EQ(part.translation[2], 3.0f);
    EXPECT_EQ(part.rotation[0], 0.5f);
    EXPECT_EQ(part.rotation[1], -1.5f);
    EXPECT_EQ(part.rotation[2], 0.2f);
}

TEST_F(ModelLoadTest, APartWithoutPolygonsStillHasItsFreeWords) {
    // Were the free words around an empty polygon list skipped wrongly, the
    // next part's fields would come out shifted.
    const Model model = Load(
        ModelText({{"A", "-", "0 0 0", "0 0 0", {}}, {"B", "A", "4 5 6", "7 8 9", {kTriangleText, kTriangleText}}}));
    ASSERT_EQ(model.partCount, 2);
    EXPECT_STREQ(model.parts[1]->name, "B");
    EXPECT_EQ(model.parts[1]->translation[0], 4.0f);
    EXPECT_EQ(model.parts[1]->rotation[2], 9.0f);
    EXPECT_EQ(model.parts[1]->polygonCount, 2);
}

TEST_F(ModelLoadTest, ParentsAreTheFirstPartOfTheName) {
    const Model model = Load(ModelText({
        {"Body", "Arm", "0 0 0", "0 0 0", {}},  // names an existing part, yet the first part has none
        {"Arm", "Body", "0 0 0", "0 0 0", {}},
        {"Arm", "Body", "0 0 0", "0 0 0", {}},  // a second part of the same name
        {"Hand", "Arm", "0 0 0", "0 0 0", {}},  // the earlier Arm wins
        {"Lamp", "nobody", "0 0 0", "0 0 0", {}},
        {"Cap", "Lamp", "0 0 0", "0 0 0", {}},
        {"Early", "Late", "0 0 0", "0 0 0", {}},  // a parent further on in the file
        {"Late", "body", "0 0 0", "0 0 0", {}},   // names compare case-sensitively
    }));
    ASSERT_EQ(model.partCount, 8);
    ModelPart* const* p = model.parts;
    EXPECT_EQ(p[0]->parent, nullptr);
    EXPECT_EQ(p[1]->parent, p[0]);
    EXPECT_EQ(p[2]->parent, p[0]);
    EXPECT_EQ(p[3]->parent, p[1]);
    EXPECT_EQ(p[4]->parent, nullptr);
    EXPECT_EQ(p[5]->parent, p[4]);
    EXPECT_EQ(p[6]->parent, p[7]);
    EXPECT_EQ(p[7]->parent, nullptr);
}

TEST_F(ModelLoadTest, OnlyNMDLVersionOneIsAccepted) {
    const std::string rest = ModelText(kSmallModel).substr(6);  // after "NMDL 1"
    ExpectRefused("NMDL 2" + rest);
    ExpectRefused("NMDL 0" + rest);
    ExpectRefused("NBSP 1" + rest);
    ExpectRefused("nmdl 1" + rest);
    ExpectRefused("NMDLX 1" + rest);
    ExpectRefused("NMDL 1.0" + rest);
    ExpectRefused("");
    bool loaded = false;
    Load("NMDL 0x1" + rest, &loaded);
    EXPECT_TRUE(loaded) << "the version is an integer of any form";

    Model model;
    EXPECT_FALSE(model.Load(dir.File("missing.mdl").c_str()));
    EXPECT_EQ(model.partCount, 0);
}

TEST_F(ModelLoadTest, AModelCutShortAnywhereIsRefused) {
    // Every cut that loses at least the last free word. Cutting inside a token
    // can still leave a valid token, but never a whole file.
    const std::string text = ModelText(kSmallModel);
    const std::string::size_type end = text.find_last_not_of(" \n");
    const std::string::size_type lastWord = text.find_last_of(" \n", end) + 1;
    for (std::string::size_type cut = 0; cut < lastWord; ++cut) {
        SCOPED_TRACE(cut);
        ExpectRefused(text.substr(0, cut));
    }
    bool loaded = false;
    Load(text.substr(0, end + 1), &loaded);
    EXPECT_TRUE(loaded) << "the last free word may end the file without a line end";
}

TEST_F(ModelLoadTest, MalformedTokensAreRefused) {
    ExpectRefused(ModelText({{"A", "-", "0 0 zero", "0 0 0", {}}}));
    ExpectRefused(ModelText({{"A", "-", "0 0 0", "0 0 1.5.", {}}}));
    ExpectRefused(ModelText({{"A", "-", "0 0 0", "0 0 0", {"0 0 0 0 0  0 1 0 0 1  1 0 0 1 x lm"}}}));
    ExpectRefused("NMDL 1 a b c two A x y 0 0 0 0 0 0 0 f g h end");
    ExpectRefused("NMDL 1 a b c 1 A x y 0 0 0 0 0 0 0.0 f g h end");  // a float as the polygon count
}

TEST_F(ModelLoadTest, WordsLongerThanTheirFieldsAreRefused) {
    const std::string name31(31, 'n');
    const std::string name32(32, 'n');
    bool loaded = false;
    const Model model =
        Load(ModelText({{name31, "-", "0 0 0", "0 0 0", {}}, {"B", name31, "0 0 0", "0 0 0", {}}}), &loaded);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(std::string(model.parts[0]->name), name31);
    EXPECT_EQ(model.parts[1]->parent, model.parts[0]);

    ExpectRefused(ModelText({{name32, "-", "0 0 0", "0 0 0", {}}}));
    ExpectRefused(ModelText({{"A", name32, "0 0 0", "0 0 0", {}}}));
    ExpectRefused(
        ModelText({{"A", "-", "0 0 0", "0 0 0", {std::string("0 0 0 0 0  0 1 0 0 1  1 0 0 1 0 ") + name32}}}));

    // The first free word has room for 63 characters; the others for 31.
    Load("NMDL 1 " + std::string(63, 'f') + " b c 1 A x y 0 0 0 0 0 0 0 f g h end", &loaded);
    EXPECT_TRUE(loaded);
    ExpectRefused("NMDL 1 " + std::string(64, 'f') + " b c 1 A x y 0 0 0 0 0 0 0 f g h end");
    ExpectRefused("NMDL 1 a " + name32 + " c 1 A x y 0 0 0 0 0 0 0 f g h end");
    ExpectRefused("NMDL 1 a b c 1 A x y 0 0 0 0 0 0 0 f g h " + name32);
}

TEST_F(ModelLoadTest, PartCountsOfZeroOrLessAreRefused) {
    ExpectRefused("NMDL 1 a b c 0 end");
    ExpectRefused("NMDL 1 a b c -1 A x y 0 0 0 0 0 0 0 f g h end");
}

TEST_F(ModelLoadTest, CountsTheFileCannotHoldAreRefusedAtOnce) {
    ExpectRefused("NMDL 1 a b c 2 A x y 0 0 0 0 0 0 0 f g h end");
    ExpectRefused("NMDL 1 a b c 2147483647 A x y 0 0 0 0 0 0 0 f g h end");
    ExpectRefused("NMDL 1 a b c 1 A x y 0 0 0 0 0 0 2147483647 f g h end");
    ExpectRefused("NMDL 1 a b c 1 A x y 0 0 0 0 0 0 1 f g h end");
    ExpectRefused("NMDL 1 a b c 1 A x y 0 0 0 0 0 0 -1 f g h end");
    // The shortest file that holds what it counts is accepted.
    bool loaded = false;
    Load("NMDL 1 a b c 1 A x y 0 0 0 0 0 0 1 f 0 0 0 0 0 0 1 0 0 1 1 0 0 1 0 l g h e", &loaded);
    EXPECT_TRUE(loaded);
}

TEST_F(ModelLoadTest, ParentNamesFormingACycleAreRefused) {
    ExpectRefused(ModelText({{"Root", "-", "0 0 0", "0 0 0", {}}, {"B", "B", "0 0 0", "0 0 0", {}}}));
    ExpectRefused(ModelText({{"Root", "-", "0 0 0", "0 0 0", {}},
                             {"B", "D", "0 0 0", "0 0 0", {}},
                             {"C", "B", "0 0 0", "0 0 0", {}},
                             {"D", "C", "0 0 0", "0 0 0", {}}}));
    // A duplicate name is not a cycle: the part names the earlier one.
    bool loaded = false;
    Load(ModelText({{"Root", "-", "0 0 0", "0 0 0", {}},
                    {"B", "Root", "0 0 0", "0 0 0", {}},
                    {"B", "B", "0 0 0", "0 0 0", {}}}),
         &loaded);
    EXPECT_TRUE(loaded);
}

TEST_F(ModelLoadTest, AFailedLoadLeavesALoadedModelAsItWas) {
    Model model;
    ASSERT_TRUE(model.Load(dir.Write("good.mdl", ModelText(kSmallModel)).c_str()));
    const Model before = model;
    EXPECT_FALSE(model.Load(dir.Write("bad.mdl", "NMDL 1 a b c 0 end").c_str()));
    EXPECT_EQ(model.parts, before.parts);
    EXPECT_EQ(model.partCount, 2);
}

TEST_F(ModelLoadTest, TheFileNameIsFoundWhateverItsCase) {
    dir.Write("test.mdl", ModelText(kSmallModel));
    Model model;
    EXPECT_TRUE(model.Load(dir.File("Test.mdl").c_str()));
    EXPECT_EQ(model.partCount, 2);
}

}  // namespace
