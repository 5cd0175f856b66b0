#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "render/Renderer.h"
#include "render/gl/SharedTextures.h"
#include "support/files/TempDir.h"
#include "support/stand-ins/RecordingRenderer.h"

namespace {

std::string LittleEndian32(std::int32_t value) {
    auto bits = static_cast<std::uint32_t>(value);
    return {static_cast<char>(bits), static_cast<char>(bits >> 8), static_cast<char>(bits >> 16),
            static_cast<char>(bits >> 24)};
}

// A 14-byte file header and a 40-byte information header with the given size.
std::string BmpHeaders(const std::string& signature, std::int32_t width, std::int32_t height) {
    std::string file = signature + std::string(12, '\0');
    std::string info = LittleEndian32(40) + LittleEndian32(width) + LittleEndian32(height) + std::string(28, '\0');
    return file + info;
}

TEST(ReadImageSize, ReadsWidthAndHeightFromTheInformationHeader) {
    TempDir dir;
    RecordingRenderer renderer;
    int width = -1, height = -1;
    ASSERT_TRUE(
        renderer.ReadImageSize(dir.Write("a.bmp", BmpHeaders("BM", 256, -128) + "pixels").c_str(), &width, &height));
    EXPECT_EQ(width, 256);
    EXPECT_EQ(height, -128);  // signed: a top-down image keeps its sign
}

TEST(ReadImageSize, IgnoresTheSignature) {
    TempDir dir;
    RecordingRenderer renderer;
    int width = 0, height = 0;
    ASSERT_TRUE(renderer.ReadImageSize(dir.Write("x.bmp", BmpHeaders("XY", 64, 32)).c_str(), &width, &height));
    EXPECT_EQ(width, 64);
    EXPECT_EQ(height, 32);
}

TEST(ReadImageSize, MissingFileIsFalseAndLeavesTheOutputs) {
    TempDir dir;
    RecordingRenderer renderer;
    int width = 7, height = 9;
    EXPECT_FALSE(renderer.ReadImageSize(dir.File("none.bmp").c_str(), &width, &height));
    EXPECT_EQ(width, 7);
    EXPECT_EQ(height, 9);
}

TEST(ReadImageSize, FileShorterThanBothHeadersReadsAsZeroByZero) {
    TempDir dir;
    RecordingRenderer renderer;
    // Long enough to hold the width but not the whole information header.
    std::string truncated = BmpHeaders("BM", 64, 64).substr(0, 30);
    int width = 7, height = 9;
    ASSERT_TRUE(renderer.ReadImageSize(dir.Write("short.bmp", truncated).c_str(), &width, &height));
    EXPECT_EQ(width, 0);
    EXPECT_EQ(height, 0);
}

TEST(ReadImageSize, FindsTheFileWhateverTheCaseOfItsName) {
    TempDir dir;
    RecordingRenderer renderer;
    dir.Write("wall0.bmp", BmpHeaders("BM", 128, 64));
    int width = 0, height = 0;
    ASSERT_TRUE(renderer.ReadImageSize(dir.File("WALL0.BMP").c_str(), &width, &height));
    EXPECT_EQ(width, 128);
}

std::vector<std::uint8_t> Rows(std::initializer_list<std::uint8_t> bytes) { return bytes; }

TEST(FlipRows, ReversesTheRowOrder) {
    RecordingRenderer renderer;
    auto pixels = Rows({1, 1, 2, 2, 3, 3, 4, 4});
    renderer.FlipRows(pixels.data(), 2, 4);
    EXPECT_EQ(pixels, Rows({4, 4, 3, 3, 2, 2, 1, 1}));  // the middle pair swaps too

    auto odd = Rows({1, 2, 3, 4, 5, 6});
    renderer.FlipRows(odd.data(), 2, 3);
    EXPECT_EQ(odd, Rows({5, 6, 3, 4, 1, 2}));
}

TEST(FlipRows, NoneOrOneRowIsLeftAsItWas) {
    RecordingRenderer renderer;
    auto one = Rows({1, 2, 3});
    renderer.FlipRows(one.data(), 3, 1);
    EXPECT_EQ(one, Rows({1, 2, 3}));
    renderer.FlipRows(one.data(), 3, 0);
    EXPECT_EQ(one, Rows({1, 2, 3}));
}

// Whatever the hash says, only the same size and bytes share a texture object.
TEST(SharedTextures, PicturesOfOneHashButOtherBytesOrSizeKeepTextureObjectsOfTheirOwn) {
    auto red = Rows({0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 255}),
         blue = Rows({255, 0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0});
    auto redAgain = red;
    auto content = [](int width, int height, std::vector<std::uint8_t>& pixels) {
        SharedTextures::Content content = SharedTextures::ContentOf(Image{width, height, pixels.data()});
        content.hash = 7;  // every picture here collides
        return content;
    };
    SharedTextures shared;
    Texture a, b, c, d;
    shared.Add(content(2, 2, red), 1, &a);
    EXPECT_EQ(shared.Share(content(2, 2, blue), &b), 0u) << "other bytes";
    shared.Add(content(2, 2, blue), 2, &b);
    EXPECT_EQ(shared.Share(content(4, 1, redAgain), &c), 0u) << "other size";
    EXPECT_EQ(shared.Share(content(2, 2, redAgain), &d), 1u) << "the same picture";
    EXPECT_EQ(shared.Release(&a), 0u);
    EXPECT_EQ(shared.Release(&d), 1u);
    EXPECT_EQ(shared.Release(&b), 2u);
}

}  // namespace
