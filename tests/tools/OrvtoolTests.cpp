// orvtool's own command line: its help and its answer to a command line it
// cannot take.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/files/Orvtool.h"

namespace {

TEST(OrvtoolTest, HelpGoesToStandardOutputWithStatusZero) {
    const ToolResult help = RunOrvtool({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.err, "");
    for (const char* form : {"orvtool compile MAP -o DIR", "orvtool content pack OUT DIR", "orvtool model info FILE",
                             "orvtool pack extract PACK NAME FILE", "orvtool level order FILE X Y Z",
                             "orvtool walk LEVEL SCRIPT", "orvtool help"})
        EXPECT_NE(help.out.find(form), std::string::npos) << form;
    for (const char* same : {"-h", "help"}) {
        const ToolResult again = RunOrvtool({same});
        EXPECT_EQ(again.status, 0) << same;
        EXPECT_EQ(again.out, help.out) << same;
    }

    // One command's help lists only its own command lines.
    const ToolResult pack = RunOrvtool({"help", "pack"});
    EXPECT_EQ(pack.status, 0);
    EXPECT_NE(pack.out.find("orvtool pack list PACK\n"), std::string::npos) << pack.out;
    EXPECT_EQ(pack.out.find("orvtool level"), std::string::npos) << pack.out;
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"pack", "--help"}, {"pack", "-h"}, {"--help", "pack"}})
        EXPECT_EQ(RunOrvtool(args).out, pack.out) << testing::PrintToString(args);

    // A command's help says what each command line does and gives each option a line.
    const ToolResult compile = RunOrvtool({"help", "compile"});
    EXPECT_NE(compile.out.find("orvtool compile MAP -o DIR [-j|--jobs THREADS] [--textures FOLDER|WAD]... [--palette "
                               "FILE] [--scale UNITS]\n    compiles MAP "),
              std::string::npos)
        << compile.out;
    for (const char* option : {"\n  -o DIR  ", "\n  -j, --jobs THREADS  ", "\n  --textures FOLDER|WAD  ",
                               "\n  --palette FILE  ", "\n  --scale UNITS  "})
        EXPECT_NE(compile.out.find(option), std::string::npos) << option;
    EXPECT_NE(pack.out.find("\n  --model FILE  "), std::string::npos) << pack.out;
}

TEST(OrvtoolTest, ACommandLineItCannotTakeGivesStatusTwo) {
    const ToolResult none = RunOrvtool({});
    EXPECT_EQ(none.status, 2);
    EXPECT_EQ(none.out, "");
    EXPECT_EQ(none.err.rfind("usage:\n", 0), 0u) << none.err;
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"frobnicate"}, {"help", "frobnicate"}, {"pack", "list"}, {"content", "jump"}}) {
        SCOPED_TRACE(testing::PrintToString(args));
        const ToolResult result = RunOrvtool(args);
        ExpectOneLineFailure(result);
        EXPECT_EQ(result.status, 2);
    }
}

}  // namespace
