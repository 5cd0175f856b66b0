// The texture import of editor maps, as orvtool reaches it from the files it
// is given: one input read as an image by its bytes (PNG, JPEG, BMP) and as a
// TGA by its name, its picture fitted to the engine; as a WAD file named by a
// map (a WAD2 taking a palette file beside it); and as a palette file.
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "compiler/editor/TextureImport.h"
#include "compiler/editor/Wad.h"

namespace {

void ReadAsImage(const char* path) {
    orvcompile::Picture picture;
    std::string error;
    if (orvcompile::ReadImage(path, picture, error)) orvcompile::FitForEngine(picture);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace orvcompile;
    static const std::string palette = [] {
        const std::vector<std::uint8_t> colours(768, 128);
        return fuzz::WriteInput(colours.data(), colours.size(), "palette.lmp");
    }();
    ReadAsImage(fuzz::WriteInput(data, size, "input.png"));
    ReadAsImage(fuzz::WriteInput(data, size, "input.tga"));
    TextureLibrary library;
    std::string error;
    Picture picture;
    if (library.AddWad(fuzz::WriteInput(data, size, "input.wad"), palette, error)) library.Find("a", picture, error);
    std::vector<std::uint8_t> colours;
    ReadPalette(std::vector<std::uint8_t>(data, data + size), colours, error);
    return 0;
}
