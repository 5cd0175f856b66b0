// The format and size an editor's texture image declares, read from its header
// before anything is decoded, so that a small file declaring a huge picture is
// refused before the decoder allocates for it.
#pragma once

#include <string>

namespace orvcompile {

struct ImageHeader {
    const char* type = "";  // SDL_image's name of the format: "PNG", "JPG", "BMP" or "TGA"
    long long width = 0;
    long long height = 0;
};

// The header of the image at `path`: PNG, JPEG and BMP told by their bytes, a
// TGA (which has no signature) by `tga`, the file's extension. False with a
// message for a file that is none of these or whose header is cut short.
bool ReadImageHeader(const std::string& path, bool tga, ImageHeader& header, std::string& error);

}  // namespace orvcompile
