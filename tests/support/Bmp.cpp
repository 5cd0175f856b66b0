#include "support/Bmp.h"

#include <cstdint>

namespace {

std::string LittleEndian(std::uint32_t value, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i) out += static_cast<char>(value >> (8 * i));
    return out;
}

}  // namespace

std::string Bmp24(int width, int height) {
    const int rowBytes = (width * 3 + 3) / 4 * 4;  // rows are padded to 4 bytes
    const std::uint32_t pixelBytes = static_cast<std::uint32_t>(rowBytes * height);
    std::string file = "BM" + LittleEndian(14 + 40 + pixelBytes, 4) + LittleEndian(0, 4) + LittleEndian(14 + 40, 4);
    std::string info = LittleEndian(40, 4) + LittleEndian(width, 4) + LittleEndian(height, 4) +
                       LittleEndian(1, 2) + LittleEndian(24, 2) + LittleEndian(0, 4) + LittleEndian(pixelBytes, 4) +
                       LittleEndian(2835, 4) + LittleEndian(2835, 4) + LittleEndian(0, 4) + LittleEndian(0, 4);
    return file + info + std::string(pixelBytes, '\x80');
}
