// The token reader of the text data files, on real files.
#include "data/TokenReader.h"

#include <cmath>
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "support/files/TempDir.h"

namespace {

// A file holding `text`, open for reading with a token reader on it.
class TokenFile {
public:
    explicit TokenFile(const std::string& text)
        : file(std::fopen(dir.Write("tokens.txt", text).c_str(), "r")), tokens(file) {}
    ~TokenFile() { std::fclose(file); }

    TempDir dir;
    FILE* file;
    TokenReader tokens;
};

TEST(TokenReaderTest, IntegersTakeTheDecimalHexadecimalAndOctalForms) {
    TokenFile in("12 -7 +3 0x1F 0X1f 010 0 -0x10 00 2147483647 -2147483648");
    for (std::int32_t expected : {12, -7, 3, 31, 31, 8, 0, -16, 0, 2147483647}) {
        std::int32_t value = 99;
        ASSERT_TRUE(in.tokens.ReadInteger(value)) << expected;
        EXPECT_EQ(value, expected);
    }
    std::int32_t value = 0;
    ASSERT_TRUE(in.tokens.ReadInteger(value));
    EXPECT_EQ(value, INT32_MIN);
    EXPECT_FALSE(in.tokens.ReadInteger(value)) << "end of file";
}

TEST(TokenReaderTest, MalformedIntegersAreRefused) {
    for (const char* token : {"12abc", "0x", "0xg", "08", "1.5", "--1", "+-1", "+", "-", "2147483648", "-2147483649",
                              "0x100000000", "abc", "1e3", ""}) {
        SCOPED_TRACE(token);
        TokenFile in(token);
        std::int32_t value = 99;
        EXPECT_FALSE(in.tokens.ReadInteger(value));
        EXPECT_EQ(value, 99) << "a refused token leaves the value alone";
    }
}

TEST(TokenReaderTest, FloatsAreDecimalWithOptionalSignFractionAndExponent) {
    TokenFile in("1 -2.5 +.5 3. 1e3 2.5E-2 -0 1e-50 007.25");
    for (float expected : {1.0f, -2.5f, 0.5f, 3.0f, 1000.0f, 0.025f, 0.0f, 0.0f, 7.25f}) {
        float value = 99.0f;
        ASSERT_TRUE(in.tokens.ReadFloat(value)) << expected;
        EXPECT_FLOAT_EQ(value, expected);
    }
}

TEST(TokenReaderTest, MalformedOrInfiniteFloatsAreRefused) {
    for (const char* token :
         {"1e", "e5", ".", "-.", "1e+", "0x1p3", "inf", "nan", "1.5f", "1,5", "1e999", "-1e39", "1..2", "word"}) {
        SCOPED_TRACE(token);
        TokenFile in(token);
        float value = 99.0f;
        EXPECT_FALSE(in.tokens.ReadFloat(value));
        EXPECT_EQ(value, 99.0f);
    }
}

TEST(TokenReaderTest, WordsAreRunsOfNonWhitespaceUpToTheirField) {
    const std::string longest(31, 'n');
    TokenFile in(" \t\r\n\v\fNMDL\tNMDLX\r\n" + longest + " " + longest + "x \x01\xff-word\n");
    char magic[5];
    EXPECT_TRUE(in.tokens.ReadWord(magic, sizeof magic));
    EXPECT_STREQ(magic, "NMDL");
    EXPECT_FALSE(in.tokens.ReadWord(magic, sizeof magic)) << "five characters do not fit four";
    char name[32];
    EXPECT_TRUE(in.tokens.ReadWord(name, sizeof name));
    EXPECT_EQ(std::string(name), longest);
    EXPECT_FALSE(in.tokens.ReadWord(name, sizeof name)) << "32 characters do not fit 31";
    EXPECT_TRUE(in.tokens.ReadWord(name, sizeof name));
    EXPECT_STREQ(name, "\x01\xff-word");
    EXPECT_FALSE(in.tokens.ReadWord(name, sizeof name)) << "end of file";
}

TEST(TokenReaderTest, ATokenWithANulIsRefused) {
    TokenFile in(std::string("ab\0cd", 5));
    char word[32];
    EXPECT_FALSE(in.tokens.ReadWord(word, sizeof word));
}

TEST(TokenReaderTest, BytesLeftCountFromTheReadPosition) {
    TokenFile in("ab c d e");
    EXPECT_EQ(in.tokens.BytesLeft(), 8);
    char word[8];
    ASSERT_TRUE(in.tokens.ReadWord(word, sizeof word));
    EXPECT_EQ(in.tokens.BytesLeft(), 5) << "the word is read with the separator that ends it";
}

}  // namespace
