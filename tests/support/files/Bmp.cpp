#include "support/files/Bmp.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace {

void Put(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>(value >> (8 * i));
}

// Where the colour is in the palette; its size when it is not there.
std::size_t IndexOf(const std::vector<Rgb>& palette, Rgb colour) {
    auto same = [&](const Rgb& entry) { return entry.r == colour.r && entry.g == colour.g && entry.b == colour.b; };
    return static_cast<std::size_t>(std::find_if(palette.begin(), palette.end(), same) - palette.begin());
}

}  // namespace

std::string MakeBmp(int width, int height, const std::function<Rgb(int x, int y)>& colour, BmpFormat format) {
    const bool core = format.headerSize == 12;
    std::vector<Rgb> palette;
    if (format.bits <= 8) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (IndexOf(palette, colour(x, y)) == palette.size()) palette.push_back(colour(x, y));
        if (palette.size() > (1u << format.bits)) throw std::invalid_argument("too many colours for the palette");
    }
    const int paletteSize = static_cast<int>(palette.size()) * (core ? 3 : 4);
    const int rowSize = (width * format.bits + 31) / 32 * 4;
    const std::uint32_t imageSize = static_cast<std::uint32_t>(rowSize * height);
    const std::uint32_t dataOffset = 14 + format.headerSize + paletteSize;

    std::string out = "BM";
    Put(out, dataOffset + imageSize, 4);
    Put(out, 0, 4);
    Put(out, dataOffset, 4);
    Put(out, static_cast<std::uint32_t>(format.headerSize), 4);
    if (core) {
        Put(out, static_cast<std::uint32_t>(width), 2);
        Put(out, static_cast<std::uint32_t>(height), 2);
        Put(out, 1, 2);
        Put(out, static_cast<std::uint32_t>(format.bits), 2);
    } else {
        Put(out, static_cast<std::uint32_t>(width), 4);
        Put(out, static_cast<std::uint32_t>(format.topDown ? -height : height), 4);
        Put(out, 1, 2);  // planes
        Put(out, static_cast<std::uint32_t>(format.bits), 2);
        Put(out, 0, 4);  // no compression
        Put(out, imageSize, 4);
        Put(out, 2835, 4);
        Put(out, 2835, 4);
        Put(out, static_cast<std::uint32_t>(palette.size()), 4);
        Put(out, 0, 4);
        out.append(format.headerSize - 40, '\0');
    }
    for (const Rgb& entry : palette) {
        out += static_cast<char>(entry.b);
        out += static_cast<char>(entry.g);
        out += static_cast<char>(entry.r);
        if (!core) out += '\0';
    }
    for (int row = 0; row < height; ++row) {
        const int y = format.topDown ? row : height - 1 - row;
        std::string bytes(rowSize, '\0');
        for (int x = 0; x < width; ++x) {
            const Rgb c = colour(x, y);
            switch (format.bits) {
            case 1:
            case 4:
            case 8: {
                const auto index = static_cast<unsigned>(IndexOf(palette, c));
                const int bit = x * format.bits;
                bytes[bit / 8] = static_cast<char>(bytes[bit / 8] | index << (8 - format.bits - bit % 8));
                break;
            }
            case 16: {
                const unsigned value = (c.r >> 3) << 10 | (c.g >> 3) << 5 | c.b >> 3;
                bytes[x * 2] = static_cast<char>(value);
                bytes[x * 2 + 1] = static_cast<char>(value >> 8);
                break;
            }
            default: {
                const int size = format.bits / 8;
                bytes[x * size] = static_cast<char>(c.b);
                bytes[x * size + 1] = static_cast<char>(c.g);
                bytes[x * size + 2] = static_cast<char>(c.r);
            }
            }
        }
        out += bytes;
    }
    return out;
}

std::string MakeBmp24(int width, int height, const std::function<Rgb(int x, int y)>& colour, int extraInfoBytes) {
    return MakeBmp(width, height, colour, BmpFormat{24, 40 + extraInfoBytes, false});
}

std::string Bmp24(int width, int height) {
    return MakeBmp24(width, height, [](int, int) { return Rgb{128, 128, 128}; });
}
