#include <gtest/gtest.h>

#include "platform/core/Files.h"
#include "support/files/TempDir.h"

namespace {

std::string ReadAll(FILE* stream) {
    std::string content;
    char buffer[64];
    while (size_t n = std::fread(buffer, 1, sizeof buffer, stream)) content.append(buffer, n);
    return content;
}

TEST(OpenFile, ReachesAFileWhoseNameDiffersOnlyInCase) {
    TempDir dir;
    dir.Write("test.bsp", "level");
    FILE* stream = OpenFile(dir.File("Test.bsp").c_str(), "rb");
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(ReadAll(stream), "level");
    CloseFile(stream);
}

TEST(OpenFile, AnExactMatchWins) {
    TempDir dir;
    dir.Write("test.bsp", "lower");
    dir.Write("Test.bsp", "exact");
    FILE* stream = OpenFile(dir.File("Test.bsp").c_str(), "rb");
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(ReadAll(stream), "exact");
    CloseFile(stream);
}

TEST(OpenFile, BareNamesResolveInTheCurrentDirectory) {
    TempDir dir;
    dir.Write("test.mdl", "model");
    ScopedCurrentDir inside(dir.Path());
    EXPECT_EQ(ResolveFileName("TEST.MDL"), "test.mdl");
    EXPECT_EQ(ResolveFileName("missing.mdl"), "missing.mdl");
}

TEST(OpenFile, WritingReplacesTheFileThatTheNameReaches) {
    TempDir dir;
    dir.Write("jump.wav", "old");
    FILE* stream = OpenFile(dir.File("JUMP.WAV").c_str(), "wb");
    ASSERT_NE(stream, nullptr);
    std::fputs("new", stream);
    CloseFile(stream);
    EXPECT_EQ(TempDir::Read(dir.File("jump.wav")), "new");
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "JUMP.WAV"));
}

TEST(OpenFile, MissingFileGivesNoStream) {
    TempDir dir;
    EXPECT_EQ(OpenFile(dir.File("nothing.bmp").c_str(), "rb"), nullptr);
}

TEST(CloseAllFiles, ClosesOnlyTheStreamsStillOpen) {
    TempDir dir;
    dir.Write("a", "a");
    dir.Write("b", "b");
    FILE* first = OpenFile(dir.File("a").c_str(), "rb");
    FILE* second = OpenFile(dir.File("b").c_str(), "rb");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    CloseFile(first);
    EXPECT_EQ(_fcloseall(), 1);
    EXPECT_EQ(_fcloseall(), 0);
    EXPECT_NE(std::fputs("", stdout), EOF);  // the standard streams stay open
}

}  // namespace
