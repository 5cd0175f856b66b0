// Runs the built orvtool binary and checks its packs against the engine's reader.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "pack/Pack.h"
#include "pack/UnpackTable.h"
#include "support/files/Orvtool.h"
#include "support/files/TempDir.h"

namespace {

class PackCommandTest : public testing::Test {
protected:
    void TearDown() override { ClosePack(pack); }

    // Runs "orvtool pack ARGS...".
    static ToolResult Run(std::vector<std::string> args) {
        args.insert(args.begin(), "pack");
        return RunOrvtool(args);
    }

    TempDir dir;
    FILE* pack = nullptr;
};

TEST_F(PackCommandTest, CreateWritesTheCanonicalForm) {
    dir.Write("a.txt", "xyz");
    dir.Write("b.txt", "");
    const std::string out = dir.File("out.zar");
    const ToolResult result = Run({"create", out, "a=" + dir.File("a.txt"), "b=" + dir.File("b.txt")});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(TempDir::Read(out), "2\na 3\nb 0\nxyz\n\n");
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"a.txt", "b.txt", "out.zar"}));
}

TEST_F(PackCommandTest, ReaderExtractsWhatCreateStored) {
    std::string binary;
    for (int value = 0; value < 256; ++value) binary += static_cast<char>(value);
    const std::vector<std::pair<std::string, std::string>> entries = {
        {"TEXTURECEILING0", binary}, {"empty", ""},      {"crlf", "line\r\nline\r\n"},
        {"wall0", "lower"},          {"WALL0", "upper"},
    };
    std::vector<std::string> args = {"create", dir.File("out.zar")};
    for (std::size_t i = 0; i < entries.size(); ++i)
        args.push_back(entries[i].first + "=" + dir.Write("in" + std::to_string(i), entries[i].second));
    ASSERT_EQ(Run(args).status, 0);

    pack = OpenPack(dir.File("out.zar").c_str());
    ASSERT_NE(pack, nullptr);
    ASSERT_EQ(g_PackEntryCount, static_cast<std::int32_t>(entries.size()));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        SCOPED_TRACE(entries[i].first);
        EXPECT_STREQ(g_PackEntries[i].name, entries[i].first.c_str());
        const std::string file = dir.File("out" + std::to_string(i));
        EXPECT_EQ(ExtractPackEntry(pack, entries[i].first.c_str(), file.c_str()), 1);
        EXPECT_EQ(TempDir::Read(file), entries[i].second);
    }
}

TEST_F(PackCommandTest, ListShowsTheReadersDirectory) {
    std::vector<std::string> args = {"create", dir.File("out.zar")};
    for (const char* name : {"one", "two", "three"})
        args.push_back(std::string(name) + "=" + dir.Write(name, std::string(name) + " data"));
    ASSERT_EQ(Run(args).status, 0);

    const ToolResult result = Run({"list", dir.File("out.zar")});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    pack = OpenPack(dir.File("out.zar").c_str());
    ASSERT_NE(pack, nullptr);
    std::string expected;
    for (std::int32_t i = 0; i < g_PackEntryCount; ++i) {
        const PackEntry& entry = g_PackEntries[i];
        expected +=
            std::string(entry.name) + " " + std::to_string(entry.offset) + " " + std::to_string(entry.size) + "\n";
    }
    EXPECT_EQ(result.out, expected);
    EXPECT_EQ(result.out, "one 23 8\ntwo 32 8\nthree 41 10\n");
}

TEST_F(PackCommandTest, ListReadsHeaderNumbersAsTheEngineDoes) {
    const std::string header = "0x2 a +010 b 0XA\n";
    dir.Write("hand.zar", header + "octal...\nhexadecima\n");
    const ToolResult result = Run({"list", dir.File("hand.zar")});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "a 17 8\nb 26 10\n");
}

TEST_F(PackCommandTest, ExtractWritesTheEntrysBytesUnderExactlyTheNameGiven) {
    dir.Write("hand.zar", "2 a 3 b 4\nxyz\nwxyz\n");
    dir.Write("B.bin", "other");  // differs only in case: not the file named
    const ToolResult result = Run({"extract", dir.File("hand.zar"), "b", dir.File("b.bin")});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(TempDir::Read(dir.File("b.bin")), "wxyz");
    EXPECT_EQ(TempDir::Read(dir.File("B.bin")), "other");

    // A link planted at the name is replaced, never written through.
    std::filesystem::create_symlink(dir.File("B.bin"), dir.File("a.bin"));
    EXPECT_EQ(Run({"extract", dir.File("hand.zar"), "a", dir.File("a.bin")}).status, 0);
    EXPECT_FALSE(std::filesystem::is_symlink(dir.File("a.bin")));
    EXPECT_EQ(TempDir::Read(dir.File("a.bin")), "xyz");
    EXPECT_EQ(TempDir::Read(dir.File("B.bin")), "other");
}

TEST_F(PackCommandTest, ExtractOfAMissingEntryFailsAndWritesNothing) {
    dir.Write("hand.zar", "1 abc 3\nxyz");
    ExpectOneLineFailure(Run({"extract", dir.File("hand.zar"), "ABC", dir.File("out.bin")}));
    EXPECT_FALSE(std::filesystem::exists(dir.File("out.bin")));
}

TEST_F(PackCommandTest, ExtractOfATruncatedEntryFailsAndWritesNothing) {
    dir.Write("hand.zar", "1 abc 10\nxyz");
    ExpectOneLineFailure(Run({"extract", dir.File("hand.zar"), "abc", dir.File("out.bin")}));
    EXPECT_FALSE(std::filesystem::exists(dir.File("out.bin")));
}

TEST_F(PackCommandTest, ListAndExtractRefuseAMalformedOrMissingPack) {
    dir.Write("bad.zar", "1 abc -3\nxyz");
    ExpectOneLineFailure(Run({"list", dir.File("bad.zar")}));
    ExpectOneLineFailure(Run({"list", dir.File("missing.zar")}));
    ExpectOneLineFailure(Run({"extract", dir.File("bad.zar"), "abc", dir.File("out.bin")}));
    EXPECT_FALSE(std::filesystem::exists(dir.File("out.bin")));
}

TEST_F(PackCommandTest, CreateRefusesBadEntriesAndLeavesNoFile) {
    const std::string in = dir.Write("in", "data");
    const std::vector<std::vector<std::string>> badEntries = {
        {"=" + in},                    // empty name
        {"SIXTEENCHARSLONG=" + in},    // longer than 15 characters
        {"two words=" + in},           // white space
        {"tab\tname=" + in},           // white space
        {"same=" + in, "same=" + in},  // duplicate
        {"noequals"},                  // not NAME=FILE
        {"a=" + dir.File("missing")},  // unreadable input
        {"a=" + dir.Path().string()},  // a directory is no input
    };
    for (const std::vector<std::string>& entries : badEntries) {
        SCOPED_TRACE(entries.front());
        std::vector<std::string> args = {"create", dir.File("out.zar")};
        args.insert(args.end(), entries.begin(), entries.end());
        ExpectOneLineFailure(Run(args));
        EXPECT_EQ(dir.Names(), std::vector<std::string>{"in"});
    }
}

TEST_F(PackCommandTest, FailedCreateLeavesAnExistingPackUntouched) {
    dir.Write("out.zar", "old pack");
    ExpectOneLineFailure(Run({"create", dir.File("out.zar"), "a=" + dir.File("missing")}));
    EXPECT_EQ(TempDir::Read(dir.File("out.zar")), "old pack");
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"out.zar"});
}

TEST_F(PackCommandTest, CreateIntoAMissingDirectoryFails) {
    const std::string in = dir.Write("in", "data");
    ExpectOneLineFailure(Run({"create", dir.File("no/such/out.zar"), "a=" + in}));
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"in"});
}

TEST_F(PackCommandTest, ContentPackPacksTheUnpackTablesFilesFromADirectory) {
    std::filesystem::create_directory(dir.Path() / "run");
    for (const auto& asset : kUnpackTable) dir.Write(std::string("run/") + asset.file, asset.entry);
    const std::string out = dir.File("out.zar");
    const ToolResult result = RunOrvtool({"content", "pack", out, dir.File("run")});
    ASSERT_EQ(result.status, 0) << result.err;
    pack = OpenPack(out.c_str());
    ASSERT_NE(pack, nullptr);
    ASSERT_EQ(g_PackEntryCount, static_cast<std::int32_t>(kUnpackTable.size()));
    for (std::size_t i = 0; i < kUnpackTable.size(); ++i) {
        EXPECT_STREQ(g_PackEntries[i].name, kUnpackTable[i].entry);
        std::string bytes;
        EXPECT_TRUE(ReadPackEntry(pack, kUnpackTable[i].entry, bytes));
        EXPECT_EQ(bytes, kUnpackTable[i].entry);
    }
    ClosePack(pack);
    pack = nullptr;

    // A file missing: the pack there stays as it was.
    const std::string before = TempDir::Read(out);
    std::filesystem::remove(dir.File("run/test.mp3"));
    ExpectOneLineFailure(RunOrvtool({"content", "pack", out, dir.File("run")}));
    EXPECT_EQ(TempDir::Read(out), before);
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"out.zar", "run"}));
}

TEST_F(PackCommandTest, MisusedCommandLineFails) {
    const std::vector<std::vector<std::string>> misuses = {
        {}, {"frobnicate"}, {"create", dir.File("out.zar")}, {"list"}, {"list", "a", "b"}, {"extract", "pack", "name"},
    };
    for (const std::vector<std::string>& args : misuses) {
        SCOPED_TRACE(::testing::PrintToString(args));
        const ToolResult result = Run(args);
        ExpectOneLineFailure(result);
        EXPECT_EQ(result.status, 2);
    }
    EXPECT_TRUE(dir.Names().empty());
}

}  // namespace
