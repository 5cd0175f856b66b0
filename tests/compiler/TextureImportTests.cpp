// Texture images for the editors' maps: finding them in a folder or a WAD,
// reading them, fitting them to the engine and naming them.
#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "compiler/editor/ImageHeader.h"
#include "compiler/editor/TextureImport.h"
#include "support/files/TempDir.h"

using namespace orvcompile;

namespace {

// A w × h surface of one colour.
SDL_Surface* Filled(int w, int h, Uint8 r, Uint8 g, Uint8 b) {
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, w, h, 24, SDL_PIXELFORMAT_RGB24);
    SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, r, g, b));
    return surface;
}

// An uncompressed true-colour TGA, rows from the bottom, pixels blue, green, red.
std::string Tga(int w, int h, Uint8 r, Uint8 g, Uint8 b) {
    std::string bytes(18, '\0');
    bytes[2] = 2;
    bytes[12] = static_cast<char>(w), bytes[13] = static_cast<char>(w >> 8);
    bytes[14] = static_cast<char>(h), bytes[15] = static_cast<char>(h >> 8);
    bytes[16] = 24;
    for (int i = 0; i < w * h; ++i) bytes += {static_cast<char>(b), static_cast<char>(g), static_cast<char>(r)};
    return bytes;
}

TEST(TextureImport, FindsAndReadsTheEditorsImageFormats) {
    TempDir dir;
    std::filesystem::create_directories(dir.Path() / "base");
    std::filesystem::create_directories(dir.Path() / "liquids");
    std::filesystem::create_directories(dir.Path() / "other");
    SDL_Surface* red = Filled(64, 32, 200, 10, 20);
    ASSERT_EQ(IMG_SavePNG(red, dir.File("base/Floor.png").c_str()), 0);
    ASSERT_EQ(IMG_SaveJPG(red, dir.File("base/floor.jpg").c_str(), 95), 0);  // the PNG is preferred
    ASSERT_EQ(SDL_SaveBMP(red, dir.File("liquids/#lava.bmp").c_str()), 0);
    SDL_FreeSurface(red);
    // The same BMP with its rows from the top (a negative height), and the
    // JPEG with a copy of its first Huffman table before its frame header,
    // as some encoders order them.
    std::string topDown = TempDir::Read(dir.File("liquids/#lava.bmp"));
    topDown.replace(22, 4, std::string{-32, -1, -1, -1});
    dir.Write("base/top.bmp", topDown);
    std::string jpeg = TempDir::Read(dir.File("base/floor.jpg"));
    const std::size_t table = jpeg.find("\xff\xc4");
    ASSERT_NE(table, std::string::npos);
    const std::size_t tableSize =
        2 + (static_cast<unsigned char>(jpeg[table + 2]) << 8 | static_cast<unsigned char>(jpeg[table + 3]));
    dir.Write("base/tables.jpg", jpeg.substr(0, 2) + jpeg.substr(table, tableSize) + jpeg.substr(2));
    dir.Write("base/wall.tga", Tga(3, 5, 10, 200, 30));
    dir.Write("base/door.png", "not a picture");
    dir.Write("other/door.png", "");

    TextureFolder folder;
    std::string error;
    ASSERT_TRUE(folder.Open(dir.Path().string(), error)) << error;
    EXPECT_EQ(folder.Find("BASE/floor"), dir.File("base/Floor.png"));
    EXPECT_EQ(folder.Find("floor"), dir.File("base/Floor.png"));     // the only "floor" below the folder
    EXPECT_EQ(folder.Find("*lava"), dir.File("liquids/#lava.bmp"));  // '*' stored as '#'
    EXPECT_EQ(folder.Find("base/wall"), dir.File("base/wall.tga"));
    EXPECT_EQ(folder.Find("base\\wall"), dir.File("base/wall.tga"));  // the editors write either separator
    EXPECT_EQ(folder.Find("other\\floor"), dir.File("base/Floor.png"));
    EXPECT_EQ(folder.Find("door"), "");  // two of that name
    EXPECT_EQ(folder.Find("base/none"), "");
    EXPECT_FALSE(TextureFolder().Open(dir.File("missing"), error));
    EXPECT_EQ(error.rfind("cannot read the texture folder '", 0), 0u) << error;

    for (const char* file : {"base/Floor.png", "base/floor.jpg", "liquids/#lava.bmp", "base/top.bmp", "base/tables.jpg",
                             "base/wall.tga"}) {
        SCOPED_TRACE(file);
        Picture picture;
        ASSERT_TRUE(ReadImage(dir.File(file), picture, error)) << error;
        const bool tga = std::string(file).ends_with(".tga");
        EXPECT_EQ(picture.width, tga ? 3 : 64);
        EXPECT_EQ(picture.height, tga ? 5 : 32);
        // The header read alone gives the same size (the decoder is held to it).
        ImageHeader header;
        ASSERT_TRUE(ReadImageHeader(dir.File(file), tga, header, error)) << error;
        EXPECT_EQ(header.width, picture.width);
        EXPECT_EQ(header.height, picture.height);
        ASSERT_EQ(picture.rgb.size(), static_cast<std::size_t>(picture.width * picture.height * 3));
        const std::uint8_t expected[3] = {static_cast<std::uint8_t>(tga ? 10 : 200),
                                          static_cast<std::uint8_t>(tga ? 200 : 10),
                                          static_cast<std::uint8_t>(tga ? 30 : 20)};
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(picture.rgb[picture.rgb.size() - 3 + c], expected[c], 4);
    }
    Picture picture;
    EXPECT_FALSE(ReadImage(dir.File("base/door.png"), picture, error));
    EXPECT_EQ(error.rfind("cannot read the image '" + dir.File("base/door.png") + "': ", 0), 0u) << error;

    // A small file declaring a huge picture is refused by its header, before
    // the decoder allocates for it.
    std::string bmp = "BM" + std::string(12, '\0') + std::string{40, 0, 0, 0, 0x20, 0x4E, 0, 0, 0x20, 0x4E, 0, 0};
    bmp += std::string{1, 0, 24} + std::string(1024, '\0');  // 20000 x 20000
    std::string png = "\x89PNG\r\n\x1a\n" + std::string{0, 0, 0, 13} + "IHDR";
    png += std::string{0, 0, 0x75, 0x30, 0, 0, 0x75, 0x30, 8, 2, 0, 0, 0} + std::string(1024, '\0');  // 30000 x 30000
    for (const auto& [name, bytes, side] :
         {std::tuple{"huge.bmp", bmp, "20000"}, std::tuple{"huge.png", png, "30000"}}) {
        EXPECT_FALSE(ReadImage(dir.Write(name, bytes), picture, error));
        EXPECT_EQ(error, "the image '" + dir.File(name) + "' is " + side + " x " + side +
                             " pixels; sides from 1 to 4096 are read");
    }
    // The decoder is held to the format the header was read as.
    EXPECT_FALSE(ReadImage(dir.Write("gif.png", "GIF89a" + std::string(64, '\1')), picture, error));
    EXPECT_EQ(error,
              "cannot read the image '" + dir.File("gif.png") + "': not a PNG, JPEG, BMP or TGA image, or cut short");
}

void Put32(std::string& bytes, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes += static_cast<char>(v >> (8 * i));
}

// 256 colours: index i is (i, 255 − i, 7).
std::string TestPalette() {
    std::string bytes;
    for (int i = 0; i < 256; ++i) bytes += {static_cast<char>(i), static_cast<char>(255 - i), 7};
    return bytes;
}

// A WAD of 8 × 8 textures in lumps one after the other, each named as
// given with its first pixel index + 1 and the rest the index given. A WAD3
// carries TestPalette() after each texture's four mip levels.
std::string Wad(bool wad3, const std::vector<std::pair<std::string, std::uint8_t>>& textures) {
    std::string lumps, directory;
    for (const auto& [name, index] : textures) {
        std::string lump = name;
        lump.resize(16, '\0');
        Put32(lump, 8);
        Put32(lump, 8);
        for (std::uint32_t offset : {40u, 104u, 120u, 124u}) Put32(lump, offset);
        lump += std::string(64 + 16 + 4 + 1, static_cast<char>(index));
        lump[40] = static_cast<char>(index + 1);
        if (wad3) lump += std::string{0, 1} + TestPalette();
        Put32(directory, static_cast<std::uint32_t>(12 + lumps.size()));
        Put32(directory, static_cast<std::uint32_t>(lump.size()));
        Put32(directory, static_cast<std::uint32_t>(lump.size()));
        directory += {wad3 ? 'C' : 'D', 0, 0, 0};
        std::string entryName = name;
        entryName.resize(16, '\0');
        directory += entryName;
        lumps += lump;
    }
    std::string bytes = wad3 ? "WAD3" : "WAD2";
    Put32(bytes, static_cast<std::uint32_t>(textures.size()));
    Put32(bytes, static_cast<std::uint32_t>(12 + lumps.size()));
    return bytes + lumps + directory;
}

std::string Wad(bool wad3, const std::string& name, std::uint8_t index) { return Wad(wad3, {{name, index}}); }

void ExpectWadPixels(const TextureLibrary& library, const std::string& name, int index) {
    Picture picture;
    std::string error;
    ASSERT_TRUE(library.Find(name, picture, error)) << error;
    ASSERT_EQ(picture.width, 8);
    ASSERT_EQ(picture.height, 8);
    EXPECT_EQ(picture.rgb[0], index + 1);
    EXPECT_EQ(picture.rgb[1], 254 - index);
    EXPECT_EQ(picture.rgb[2], 7);
    EXPECT_EQ(picture.rgb[3], index);
    EXPECT_EQ(picture.rgb[4], 255 - index);
}

TEST(TextureImport, ReadsWad3AndWad2WithItsPaletteInOrder) {
    TempDir dir;
    std::filesystem::create_directories(dir.Path() / "id/maps");
    std::filesystem::create_directories(dir.Path() / "id/gfx");
    const std::string wad3 = dir.Write("half.wad", Wad(true, "Crate", 40));
    const std::string wad2 = dir.Write("id/maps/quarter.wad", Wad(false, "*water", 90));
    const std::string other = dir.Write("other.wad", Wad(true, "crate", 10));

    TextureLibrary library;
    std::string error;
    EXPECT_FALSE(library.AddWad(wad2, "", error));
    EXPECT_EQ(error, "the WAD2 file '" + wad2 +
                         "' needs the game's palette: give --palette FILE, or put palette.lmp beside the WAD or in a "
                         "gfx/ folder beside it or beside its folder");
    EXPECT_FALSE(library.AddWad(wad2, dir.Write("short.lmp", "abc"), error));
    EXPECT_EQ(error, "the palette '" + dir.File("short.lmp") + "': a palette has 768 bytes (256 colours), not 3");

    dir.Write("id/gfx/palette.lmp", TestPalette());  // beside the WAD's folder
    ASSERT_TRUE(library.AddWad(wad3, "", error)) << error;
    ASSERT_TRUE(library.AddWad(wad2, "", error)) << error;
    ASSERT_TRUE(library.AddWad(other, "", error)) << error;
    ExpectWadPixels(library, "crate", 40);  // the first WAD that has it
    ExpectWadPixels(library, "textures/CRATE", 40);
    ExpectWadPixels(library, "*water", 90);
    // Lumps that follow each other without a gap are read, each whole.
    TextureLibrary two;
    ASSERT_TRUE(two.AddWad(dir.Write("two.wad", Wad(true, {{"crate", 40}, {"door", 60}})), "", error)) << error;
    ExpectWadPixels(two, "crate", 40);
    ExpectWadPixels(two, "door", 60);
    // A palette given explicitly wins over one found near the WAD.
    EXPECT_FALSE(library.AddWad(wad2, dir.File("short.lmp"), error));
    EXPECT_EQ(error, "the palette '" + dir.File("short.lmp") + "': a palette has 768 bytes (256 colours), not 3");
    Picture picture;
    EXPECT_FALSE(library.Find("none", picture, error));

    // Lumps that share bytes are refused: 400 entries of one 1024 x 1024 lump
    // would otherwise decode to 1.2 GB from a 1 MB file.
    std::string twice = Wad(true, "crate", 40);
    twice.replace(4, 4, std::string{2, 0, 0, 0});
    twice += twice.substr(twice.size() - 32);
    EXPECT_FALSE(library.AddWad(dir.Write("twice.wad", twice), "", error));
    EXPECT_EQ(error, "the WAD '" + dir.File("twice.wad") + "': the lumps 'crate' and 'crate' share bytes");

    // A texture lump too short for its name, at the file's very end, is
    // refused without reading past it.
    std::string shortLump = Wad(true, "crate", 40);
    const std::size_t entry = shortLump.size() - 32, start = shortLump.size() - 8;
    shortLump.replace(entry, 8, std::string{static_cast<char>(start), static_cast<char>(start >> 8), 0, 0, 8, 0, 0, 0});
    EXPECT_FALSE(library.AddWad(dir.Write("short.wad", shortLump), "", error));
    EXPECT_EQ(error, "the WAD '" + dir.File("short.wad") + "': the texture lump at byte " + std::to_string(start) +
                         " is cut short");

    // A WAD3 lump one byte short of its palette (the count and 768 bytes) is
    // refused, though the file's next bytes would fill it.
    std::string shortPalette = Wad(true, "crate", 40);
    shortPalette[shortPalette.size() - 28] -= 1;
    EXPECT_FALSE(library.AddWad(dir.Write("nopalette.wad", shortPalette), "", error));
    EXPECT_EQ(error, "the WAD '" + dir.File("nopalette.wad") + "': the texture 'crate' has no palette of its own");

    // The map's "wad" key can name any file: it is known by its first bytes
    // and its size before it is read.
    EXPECT_FALSE(library.AddWad(dir.Write("notes.txt", "some text"), "", error));
    EXPECT_EQ(error, "the WAD '" + dir.File("notes.txt") + "': not a WAD2 or WAD3 file");
    const std::string huge = dir.Write("huge.wad", "WAD3");
    std::filesystem::resize_file(huge, 600ull << 20);
    EXPECT_FALSE(library.AddWad(huge, "", error));
    EXPECT_EQ(error, "the WAD '" + huge + "' has 629145600 bytes; at most 268435456 are read");

    // Cut anywhere, a WAD is refused with a message, never read past its end.
    const std::string whole = Wad(true, "crate", 40);
    for (std::size_t size : {3ul, 11ul, 40ul, 100ul, whole.size() - 1}) {
        TextureLibrary cut;
        EXPECT_FALSE(cut.AddWad(dir.Write("cut.wad", whole.substr(0, size)), "", error)) << size;
        EXPECT_EQ(error.rfind("the WAD '" + dir.File("cut.wad") + "': ", 0), 0u) << error;
    }
}

TEST(TextureImport, FitsPicturesToPowersOfTwoAndNamesThemForTheEngine) {
    Picture stripes{6, 3, {}};
    for (int i = 0; i < 18; ++i) stripes.rgb.insert(stripes.rgb.end(), 3, static_cast<std::uint8_t>(i % 2 ? 200 : 100));
    const Picture small = FitForEngine(stripes);
    EXPECT_EQ(small.width, 8);
    EXPECT_EQ(small.height, 4);
    const Picture wide = FitForEngine(Picture{1000, 100, std::vector<std::uint8_t>(300000, 77)});
    EXPECT_EQ(wide.width, 256);
    EXPECT_EQ(wide.height, 128);
    EXPECT_EQ(wide.rgb, std::vector<std::uint8_t>(256 * 128 * 3, 77));
    EXPECT_EQ(FitForEngine(Picture{512, 512, std::vector<std::uint8_t>(512 * 512 * 3, 0)}).width, 256);
    const Picture halved = FitForEngine(Picture{600, 8, [] {
                                                    std::vector<std::uint8_t> rgb;
                                                    for (int i = 0; i < 600 * 8; ++i)
                                                        rgb.insert(rgb.end(), 3, i % 2 ? 200 : 0);
                                                    return rgb;
                                                }()});
    EXPECT_EQ(halved.width, 256);
    EXPECT_NEAR(halved.rgb[0], 100, 35);  // a mix, not one of the two

    const Picture placeholder = PlaceholderTexture();
    EXPECT_EQ(placeholder.width, 64);
    EXPECT_EQ(std::vector<std::uint8_t>(placeholder.rgb.begin(), placeholder.rgb.begin() + 3),
              (std::vector<std::uint8_t>{255, 0, 255}));

    std::set<std::string> taken;
    EXPECT_EQ(EngineTextureName("base/Wall", taken), "wall");
    EXPECT_EQ(EngineTextureName("other/wall", taken), "wall-2");
    EXPECT_EQ(EngineTextureName("third\\Wall", taken), "wall-3");
    EXPECT_EQ(EngineTextureName("*lava", taken), "_lava");
    EXPECT_EQ(EngineTextureName("+0button", taken), "_0button");
    const std::string longName(40, 'a');
    EXPECT_EQ(EngineTextureName(longName, taken), std::string(31, 'a'));
    EXPECT_EQ(EngineTextureName(longName, taken), std::string(29, 'a') + "-2");
    EXPECT_EQ(EngineTextureName("dir/", taken), "texture");
}

}  // namespace
