// The reader of WAD files, as orvtool hands it a file's bytes, with a
// palette for WAD2 files.
#include <cstdint>
#include <string>
#include <vector>

#include "compiler/editor/Wad.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::vector<std::uint8_t> kPalette(768, 128);
    const std::vector<std::uint8_t> bytes(data, data + size);
    std::vector<orvcompile::WadTexture> textures;
    std::string error;
    orvcompile::ReadWad(bytes, kPalette, textures, error);
    return 0;
}
