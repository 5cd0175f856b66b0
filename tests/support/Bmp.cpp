#include "support/Bmp.h"

namespace {

void Put(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>(value >> (8 * i));
}

}  // namespace

std::string MakeBmp24(int width, int height, const std::function<Rgb(int x, int y)>& colour, int extraInfoBytes) {
    const int rowSize = (width * 3 + 3) / 4 * 4;
    const std::uint32_t imageSize = static_cast<std::uint32_t>(rowSize * height);
    const std::uint32_t infoSize = 40 + static_cast<std::uint32_t>(extraInfoBytes);
    std::string out = "BM";
    Put(out, 14 + infoSize + imageSize, 4);
    Put(out, 0, 4);
    Put(out, 14 + infoSize, 4);
    Put(out, infoSize, 4);
    Put(out, static_cast<std::uint32_t>(width), 4);
    Put(out, static_cast<std::uint32_t>(height), 4);
    Put(out, 1, 2);   // planes
    Put(out, 24, 2);  // bits per pixel
    Put(out, 0, 4);   // no compression
    Put(out, imageSize, 4);
    Put(out, 2835, 4);
    Put(out, 2835, 4);
    Put(out, 0, 4);
    Put(out, 0, 4);
    out.append(extraInfoBytes, '\0');
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            Rgb c = colour(x, y);
            out += static_cast<char>(c.b);
            out += static_cast<char>(c.g);
            out += static_cast<char>(c.r);
        }
        out.append(rowSize - width * 3, '\0');
    }
    return out;
}

std::string Bmp24(int width, int height) {
    return MakeBmp24(width, height, [](int, int) { return Rgb{128, 128, 128}; });
}
