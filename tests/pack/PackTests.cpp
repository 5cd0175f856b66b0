#include "pack/Pack.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "pack/PackWriter.h"
#include "support/files/TempDir.h"

namespace {

class PackReaderTest : public testing::Test {
protected:
    // A failed assertion must not leave an open pack's directory to the next test.
    void TearDown() override { ClosePack(pack); }

    FILE* Open(const std::string& bytes) {
        pack = OpenPack(dir.Write("test.zar", bytes).c_str());
        return pack;
    }

    std::int32_t Extract(const char* entryName, const std::string& file = "out.bin") {
        return ExtractPackEntry(pack, entryName, dir.File(file).c_str());
    }

    std::string Content(const std::string& file = "out.bin") const { return TempDir::Read(dir.File(file)); }

    bool Exists(const std::string& file = "out.bin") const { return std::filesystem::exists(dir.File(file)); }

    void ExpectRefused(const std::string& bytes) {
        SCOPED_TRACE("pack bytes: " + bytes);
        EXPECT_EQ(Open(bytes), nullptr);
        EXPECT_EQ(g_PackEntryCount, 0);
        EXPECT_EQ(g_PackEntries, nullptr);
        EXPECT_EQ(Extract("abc"), 0);
        EXPECT_FALSE(Exists());
    }

    TempDir dir;
    FILE* pack = nullptr;
};

TEST_F(PackReaderTest, SevenByteHeaderPutsTheDataAtByteEight) {
    ASSERT_NE(Open("1 abc 3\nxyz"), nullptr);
    ASSERT_EQ(g_PackEntryCount, 1);
    EXPECT_STREQ(g_PackEntries[0].name, "abc");
    EXPECT_EQ(g_PackEntries[0].offset, 8);
    EXPECT_EQ(g_PackEntries[0].size, 3);
    EXPECT_EQ(Extract("abc"), 1);
    EXPECT_EQ(Content(), "xyz");
}

TEST_F(PackReaderTest, OneSeparatorByteBetweenEntriesBelongsToNeither) {
    const std::string header = "2 a 10 b 20\n";  // 12 bytes
    ASSERT_NE(Open(header + "0123456789" + "#" + "ABCDEFGHIJKLMNOPQRST" + "\n"), nullptr);
    ASSERT_EQ(g_PackEntryCount, 2);
    EXPECT_EQ(g_PackEntries[0].offset, 12);
    EXPECT_EQ(g_PackEntries[0].size, 10);
    EXPECT_EQ(g_PackEntries[1].offset, 23);
    EXPECT_EQ(g_PackEntries[1].size, 20);
    // Extraction seeks to each entry, so the order of extraction does not matter.
    EXPECT_EQ(Extract("b", "b.bin"), 1);
    EXPECT_EQ(Extract("a", "a.bin"), 1);
    EXPECT_EQ(Content("a.bin"), "0123456789");
    EXPECT_EQ(Content("b.bin"), "ABCDEFGHIJKLMNOPQRST");
}

TEST_F(PackReaderTest, NamesDifferingOnlyInCaseAreDifferentEntries) {
    ASSERT_NE(Open("2 wall0 1 WALL0 1\nl\nU\n"), nullptr);
    // Output names differ by more than case: the platform resolves file names
    // case-insensitively.
    EXPECT_EQ(Extract("wall0", "lower.bin"), 1);
    EXPECT_EQ(Extract("WALL0", "upper.bin"), 1);
    EXPECT_EQ(Content("lower.bin"), "l");
    EXPECT_EQ(Content("upper.bin"), "U");
    EXPECT_EQ(Extract("Wall0", "mixed.bin"), 0);
    EXPECT_FALSE(Exists("mixed.bin"));
}

TEST_F(PackReaderTest, FirstOfDuplicateNamesWins) {
    ASSERT_NE(Open("2 dup 3 dup 3\none\ntwo\n"), nullptr);
    EXPECT_EQ(Extract("dup"), 1);
    EXPECT_EQ(Content(), "one");
}

TEST_F(PackReaderTest, ZeroSizeEntryGivesAnEmptyFile) {
    ASSERT_NE(Open("2 empty 0 x 1\n\nX"), nullptr);
    EXPECT_EQ(Extract("empty"), 1);
    EXPECT_TRUE(Exists());
    EXPECT_EQ(Content(), "");
    EXPECT_EQ(Extract("x", "x.bin"), 1);
    EXPECT_EQ(Content("x.bin"), "X");
}

TEST_F(PackReaderTest, ExtractingTwiceRewritesTheSameBytes) {
    ASSERT_NE(Open("1 abc 3\nxyz\n"), nullptr);
    EXPECT_EQ(Extract("abc"), 1);
    dir.Write("out.bin", "longer leftover content");
    EXPECT_EQ(Extract("abc"), 1);
    EXPECT_EQ(Content(), "xyz");
}

TEST_F(PackReaderTest, EveryByteValueIsCopiedUnchanged) {
    std::string data;
    for (int value = 0; value < 256; ++value) data += static_cast<char>(value);
    ASSERT_NE(Open("1 bin 256\n" + data), nullptr);
    EXPECT_EQ(Extract("bin"), 1);
    EXPECT_EQ(Content(), data);
}

TEST_F(PackReaderTest, CrLfHeaderShiftsTheEntriesByOneByte) {
    // The carriage return is the separator; the line feed is the first data byte.
    ASSERT_NE(Open("1 abc 3\r\nxyz"), nullptr);
    EXPECT_EQ(g_PackEntries[0].offset, 8);
    EXPECT_EQ(Extract("abc"), 1);
    EXPECT_EQ(Content(), "\nxy");
}

TEST_F(PackReaderTest, CountAndSizesTakeHexadecimalAndOctalForms) {
    const std::string header = "0x2 a +010 b 0XA\n";  // 17 bytes; sizes 8 and 10
    ASSERT_NE(Open(header + "octal..." + "\n" + "hexadecima" + "\n"), nullptr);
    ASSERT_EQ(g_PackEntryCount, 2);
    EXPECT_EQ(g_PackEntries[0].size, 8);
    EXPECT_EQ(g_PackEntries[0].offset, 17);
    EXPECT_EQ(g_PackEntries[1].size, 10);
    EXPECT_EQ(g_PackEntries[1].offset, 26);
    EXPECT_EQ(Extract("a", "a.bin"), 1);
    EXPECT_EQ(Extract("b", "b.bin"), 1);
    EXPECT_EQ(Content("a.bin"), "octal...");
    EXPECT_EQ(Content("b.bin"), "hexadecima");
}

TEST_F(PackReaderTest, FifteenCharacterNameIsAccepted) {
    ASSERT_NE(Open("1 TEXTURECEILING0 3\nxyz"), nullptr);
    EXPECT_STREQ(g_PackEntries[0].name, "TEXTURECEILING0");
    EXPECT_EQ(Extract("TEXTURECEILING0"), 1);
    EXPECT_EQ(Content(), "xyz");
}

TEST_F(PackReaderTest, RefusesAnUnreadableCount) {
    ExpectRefused("");
    ExpectRefused("abc 3\nxyz");
}

TEST_F(PackReaderTest, RefusesANegativeCount) {
    ExpectRefused("-1\n");
    ExpectRefused("-1 abc 3\nxyz");
}

TEST_F(PackReaderTest, RefusesACountLargerThanTheFileCouldHold) {
    ExpectRefused("1000 abc 3\nxyz");
    ExpectRefused("2147483647 abc 3\nxyz");
}

TEST_F(PackReaderTest, RefusesACountBeyondTheEntriesPresent) { ExpectRefused("3 a 1 abc 1\nx\ny\n"); }

TEST_F(PackReaderTest, RefusesANameLongerThanFifteenCharacters) {
    ExpectRefused("1 ABCDEFGHIJKLMNOP 3\nxyz");
    // Cut to 15 characters, the rest would be taken for the size.
    ExpectRefused("1 TEXTURECEILING01 3\nxyz");
}

TEST_F(PackReaderTest, RefusesAnUnreadableSize) {
    ExpectRefused("1 abc x\nxyz");
    ExpectRefused("1 abc");
}

TEST_F(PackReaderTest, RefusesANegativeSize) { ExpectRefused("1 abc -3\nxyz"); }

TEST_F(PackReaderTest, RefusesASizeBeyond32Bits) {
    // Wrapped to 32 bits it would read as 3.
    ExpectRefused("1 abc 4294967299\nxyz");
}

TEST_F(PackReaderTest, RefusesAnOffsetBeyond32Bits) { ExpectRefused("2 a 2147483647 abc 1\nx\ny"); }

TEST_F(PackReaderTest, RefusesAHeaderWithoutItsSeparator) { ExpectRefused("1 abc 0"); }

TEST_F(PackReaderTest, ZeroCountGivesAnEmptyDirectory) {
    ASSERT_NE(Open("0\n"), nullptr);
    EXPECT_EQ(g_PackEntryCount, 0);
    EXPECT_EQ(g_PackEntries, nullptr);
    EXPECT_EQ(Extract("abc"), 0);
    EXPECT_FALSE(Exists());
}

TEST_F(PackReaderTest, EntryRunningPastTheEndIsNotExtracted) {
    ASSERT_NE(Open("2 a 3 b 10\nxyz\nabc"), nullptr);
    EXPECT_EQ(Extract("b", "b.bin"), 0);
    EXPECT_FALSE(Exists("b.bin"));
    EXPECT_EQ(Extract("a", "a.bin"), 1);
    EXPECT_EQ(Content("a.bin"), "xyz");
    // One byte short: the bound is exact.
    ClosePack(pack);
    ASSERT_NE(Open("1 abc 4\nxyz"), nullptr);
    EXPECT_EQ(Extract("abc", "c.bin"), 0);
    EXPECT_FALSE(Exists("c.bin"));
}

TEST_F(PackReaderTest, MissingEntryCreatesNoFile) {
    ASSERT_NE(Open("1 abc 3\nxyz"), nullptr);
    EXPECT_EQ(Extract("abd"), 0);
    EXPECT_EQ(Extract("ab"), 0);
    EXPECT_FALSE(Exists());
}

TEST_F(PackReaderTest, MissingPackGivesNoPackAndNoEntries) {
    pack = OpenPack(dir.File("missing.zar").c_str());
    EXPECT_EQ(pack, nullptr);
    EXPECT_EQ(g_PackEntryCount, 0);
    EXPECT_EQ(g_PackEntries, nullptr);
    EXPECT_EQ(Extract("abc"), 0);
    EXPECT_FALSE(Exists());
    ClosePack(nullptr);
}

TEST_F(PackReaderTest, NullPackGivesZeroEvenWhileAPackIsOpen) {
    ASSERT_NE(Open("1 abc 3\nxyz"), nullptr);
    EXPECT_EQ(ExtractPackEntry(nullptr, "abc", dir.File("out.bin").c_str()), 0);
    EXPECT_FALSE(Exists());
}

TEST_F(PackReaderTest, PackNameIsResolvedIgnoringCase) {
    dir.Write("assets.zar", "1 abc 3\nxyz");
    pack = OpenPack(dir.File("ASSETS.ZAR").c_str());
    ASSERT_NE(pack, nullptr);
    EXPECT_EQ(Extract("abc"), 1);
    EXPECT_EQ(Content(), "xyz");
}

TEST_F(PackReaderTest, OutputThatCannotBeCreatedGivesZero) {
    ASSERT_NE(Open("1 abc 3\nxyz"), nullptr);
    EXPECT_EQ(Extract("abc", "no/such/dir/out.bin"), 0);
}

TEST_F(PackReaderTest, OutputThatCannotBeWrittenGivesZero) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    ASSERT_NE(Open("1 abc 3\nxyz"), nullptr);
    // Every write to /dev/full fails, so the loss only shows when the buffered
    // bytes are flushed at close.
    int writeError = 0;
    EXPECT_EQ(ExtractPackEntry(pack, "abc", "/dev/full", &writeError), 0);
    EXPECT_EQ(writeError, ENOSPC);
    EXPECT_TRUE(std::filesystem::exists("/dev/full")) << "only a regular file cut short is removed";
}

TEST_F(PackReaderTest, ReadPackEntryGivesTheEntrysBytesOrLeavesThemAlone) {
    ASSERT_NE(Open("3 a 3 empty 0 b 10\nxyz\n\nabc"), nullptr);
    std::string bytes = "before";
    EXPECT_TRUE(ReadPackEntry(pack, "a", bytes));
    EXPECT_EQ(bytes, "xyz");
    EXPECT_TRUE(ReadPackEntry(pack, "empty", bytes));
    EXPECT_EQ(bytes, "");
    bytes = "before";
    EXPECT_FALSE(ReadPackEntry(pack, "b", bytes)) << "its data runs past the end";
    EXPECT_FALSE(ReadPackEntry(pack, "A", bytes));
    EXPECT_FALSE(ReadPackEntry(nullptr, "a", bytes));
    EXPECT_EQ(bytes, "before");
}

TEST_F(PackReaderTest, ClosePackEmptiesTheDirectory) {
    ASSERT_NE(Open("1 abc 3\nxyz"), nullptr);
    ClosePack(pack);
    pack = nullptr;
    EXPECT_EQ(g_PackEntryCount, 0);
    EXPECT_EQ(g_PackEntries, nullptr);
}

class PackWriterTest : public testing::Test {
protected:
    void TearDown() override { ClosePack(pack); }

    TempDir dir;
    const std::string out = dir.File("out.zar");
    FILE* pack = nullptr;
    std::string error;
};

TEST_F(PackWriterTest, EntriesFromMemoryAndFromFilesComeBackThroughTheReader) {
    std::string binary;
    for (int value = 0; value < 256; ++value) binary += static_cast<char>(value);
    PackWriter writer;
    ASSERT_TRUE(writer.Add("TEXTURECEILING0", binary, error)) << error;
    ASSERT_TRUE(writer.Add("empty", "", error)) << error;
    ASSERT_TRUE(writer.AddFile("file", dir.Write("in.txt", "line\r\n"), error)) << error;
    ASSERT_TRUE(writer.Write(out, error)) << error;
    EXPECT_EQ(TempDir::Read(out), "3\nTEXTURECEILING0 256\nempty 0\nfile 6\n" + binary + "\n\nline\r\n\n");
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"in.txt", "out.zar"}));

    pack = OpenPack(out.c_str());
    ASSERT_NE(pack, nullptr);
    ASSERT_EQ(g_PackEntryCount, 3);
    std::string bytes;
    EXPECT_TRUE(ReadPackEntry(pack, "TEXTURECEILING0", bytes));
    EXPECT_EQ(bytes, binary);
    EXPECT_TRUE(ReadPackEntry(pack, "empty", bytes));
    EXPECT_EQ(bytes, "");
    EXPECT_TRUE(ReadPackEntry(pack, "file", bytes));
    EXPECT_EQ(bytes, "line\r\n");
}

TEST_F(PackWriterTest, RefusedEntriesAreSaidAndLeftOut) {
    PackWriter writer;
    ASSERT_TRUE(writer.Add("same", "one", error)) << error;
    EXPECT_FALSE(writer.Add("same", "two", error));
    EXPECT_EQ(error, "entry name 'same' is given twice");
    EXPECT_FALSE(writer.AddFile("other", dir.File("missing"), error));
    EXPECT_EQ(error, "cannot read '" + dir.File("missing") + "': No such file or directory");
    EXPECT_FALSE(writer.AddFile("two words", dir.File("missing"), error));
    EXPECT_EQ(error, "entry name 'two words' contains white space") << "the name is told before the file is read";
    EXPECT_FALSE(writer.Add("SIXTEENCHARSLONG", "", error));
    EXPECT_EQ(error, "entry name 'SIXTEENCHARSLONG' is longer than 15 characters");
    EXPECT_FALSE(writer.Add("", "", error));
    EXPECT_EQ(error, "an entry name is empty");
    ASSERT_TRUE(writer.Write(out, error)) << error;
    EXPECT_EQ(TempDir::Read(out), "1\nsame 3\none\n");
}

TEST_F(PackWriterTest, AFailedWriteLeavesTheTargetAsItWasAndNoNewFile) {
    dir.Write("out.zar", "old pack");
    PackWriter writer;
    ASSERT_TRUE(writer.Add("big", std::string(4096, 'x'), error)) << error;

    // The file size limit stops the writing halfway.
    struct rlimit saved;
    getrlimit(RLIMIT_FSIZE, &saved);
    auto savedSignal = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 1024;
    setrlimit(RLIMIT_FSIZE, &small);
    const bool written = writer.Write(out, error);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, savedSignal);
    EXPECT_FALSE(written);
    EXPECT_EQ(error, "cannot write '" + out + "': File too large");
    EXPECT_EQ(TempDir::Read(out), "old pack");
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"out.zar"});

    // The renaming fails: a directory stands at the target.
    std::filesystem::remove(out);
    std::filesystem::create_directory(out);
    dir.Write("out.zar/inside", "kept");
    EXPECT_FALSE(writer.Write(out, error));
    EXPECT_EQ(error.rfind("cannot write '" + out + "': ", 0), 0u) << error;
    EXPECT_EQ(TempDir::Read(dir.File("out.zar/inside")), "kept");
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"out.zar"});

    // No folder to write in.
    EXPECT_FALSE(writer.Write(dir.File("no/such/out.zar"), error));
    EXPECT_EQ(error, "cannot write '" + dir.File("no/such/out.zar") + "': No such file or directory");
}

TEST_F(PackWriterTest, LinksPlantedAtTheNewFilesNamesAreNeitherFollowedNorOverwritten) {
    PackWriter writer;
    ASSERT_TRUE(writer.Add("a", "data", error)) << error;
    // Another user who can write to the folder plants links at the writer's
    // first name for its new file, one to a file of the victim's, one to no
    // file yet: the pack is written under a fresh name all the same.
    const std::string firstName = out + ".tmp" + std::to_string(getpid());
    const std::string victim = dir.Write("victim", "a file of someone's");
    std::filesystem::create_symlink(victim, firstName);
    ASSERT_TRUE(writer.Write(out, error)) << error;
    EXPECT_EQ(TempDir::Read(victim), "a file of someone's");
    EXPECT_EQ(TempDir::Read(out), "1\na 4\ndata\n");
    EXPECT_TRUE(std::filesystem::is_symlink(firstName));

    std::filesystem::remove(firstName);
    std::filesystem::create_symlink(dir.File("made-through-the-link"), firstName);
    ASSERT_TRUE(writer.Write(out, error)) << error;
    EXPECT_TRUE(std::filesystem::is_symlink(firstName));
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"out.zar", "out.zar.tmp" + std::to_string(getpid()), "victim"}));

    // The new file gets the usual mode, 0666 less the umask.
    const mode_t mask = umask(027);
    ASSERT_TRUE(writer.Write(out, error)) << error;
    umask(mask);
    EXPECT_EQ(std::filesystem::status(out).permissions(), std::filesystem::perms(0640));
}

}  // namespace
