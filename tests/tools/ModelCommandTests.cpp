// Runs "orvtool model" on model files written by the tests.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/files/ModelText.h"
#include "support/files/Orvtool.h"
#include "support/files/TempDir.h"

namespace {

class ModelCommandTest : public testing::Test {
protected:
    ToolResult Info(const std::string& text) { return RunOrvtool({"model", "info", dir.Write("model.mdl", text)}); }

    TempDir dir;
};

TEST_F(ModelCommandTest, InfoPrintsTheHierarchyAsTheLoaderResolvesIt) {
    const ToolResult result = Info(ModelText({
        {"Body", "Leg", "0 0 0", "0 0 0", {kTriangleText, kTriangleText}},
        {"Lamp", "nobody", "0 3 0", "0 0 0", {}},
        {"Arm", "Body", "1 0 -0.5", "0 1.5 0", {kTriangleText}},
        {"Hand", "Arm", "0.25 0 0", "0 0 0", {}},
        {"Leg", "Body", "0 -1 0", "0.5 0 0", {}},
        {"Bulb", "Lamp", "0 0 0", "0 0 0", {kTriangleText}},
    }));
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out,
              "parts: 6\n"
              "Body: 2 polygons, translation (0, 0, 0), rotation (0, 0, 0)\n"
              "  Arm: 1 polygons, translation (1, 0, -0.5), rotation (0, 1.5, 0)\n"
              "    Hand: 0 polygons, translation (0.25, 0, 0), rotation (0, 0, 0)\n"
              "  Leg: 0 polygons, translation (0, -1, 0), rotation (0.5, 0, 0)\n"
              "Lamp: 0 polygons, translation (0, 3, 0), rotation (0, 0, 0)\n"
              "  Bulb: 1 polygons, translation (0, 0, 0), rotation (0, 0, 0)\n");
}

TEST_F(ModelCommandTest, InfoReadsAModelThroughAPipe) {
    const std::string text = ModelText({{"Lamp", "-", "0 0 0", "0 0 0", {kTriangleText}}});
    const ToolResult piped = RunOrvtool({"model", "info", "/dev/stdin"}, text);
    EXPECT_EQ(piped.status, 0) << piped.err;
    EXPECT_EQ(piped.out, Info(text).out);
    EXPECT_EQ(piped.out.rfind("parts: 1\nLamp:", 0), 0u) << piped.out;
}

TEST_F(ModelCommandTest, FilesTheLoaderRefusesFailWithOneLine) {
    ExpectOneLineFailure(Info("NMDL 2 a b c 1 A x y 0 0 0 0 0 0 0 f g h end"));
    ExpectOneLineFailure(Info("NMDL 1 a b c 1 A x y 0 0 0 0 0 0 0 f g h"));
    ExpectOneLineFailure(Info("NMDL 1 a b c 2 A x y 0 0 0 0 0 0 0 f g h B x B 0 0 0 0 0 0 0 f g h end"));
    ExpectOneLineFailure(RunOrvtool({"model", "info", dir.File("missing.mdl")}));
}

TEST_F(ModelCommandTest, MisusedCommandLineFails) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"model"}, {"model", "info"}, {"model", "list", "x"}, {"model", "info", "a", "b"}}) {
        SCOPED_TRACE(testing::PrintToString(args));
        const ToolResult result = RunOrvtool(args);
        ExpectOneLineFailure(result);
        EXPECT_EQ(result.status, 2);
    }
}

}  // namespace
