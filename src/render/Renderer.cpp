#include "render/Renderer.h"

#include <cstring>
#include <memory>
#include <new>

#include "platform/core/Files.h"

bool Renderer::ReadImageSize(const char* fileName, int* width, int* height) {
    FILE* file = OpenFile(fileName, "rb");
    if (!file) return false;
    // The 14-byte file header, then the 40-byte information header whose
    // bytes 4..7 and 8..11 hold the signed little-endian width and height.
    // The signature is not looked at. A file too short for both headers
    // reads as 0 by 0 rather than as a size made of whatever bytes it has.
    unsigned char headers[14 + 40] = {};
    bool complete = std::fread(headers, 1, sizeof headers, file) == sizeof headers;
    CloseFile(file);
    if (!complete) {
        *width = 0;
        *height = 0;
        return true;
    }
    auto readInt32 = [&](int at) {
        std::uint32_t value = headers[at] | headers[at + 1] << 8 | headers[at + 2] << 16 |
                              static_cast<std::uint32_t>(headers[at + 3]) << 24;
        return static_cast<std::int32_t>(value);
    };
    *width = readInt32(14 + 4);
    *height = readInt32(14 + 8);
    return true;
}

void Renderer::FlipRows(std::uint8_t* pixels, int rowLength, int rowCount) {
    if (rowLength <= 0 || rowCount <= 0) return;
    std::size_t size = static_cast<std::size_t>(rowLength) * static_cast<std::size_t>(rowCount);
    std::unique_ptr<std::uint8_t[]> copy(new (std::nothrow) std::uint8_t[size]);
    if (!copy) return;
    std::memcpy(copy.get(), pixels, size);
    for (int i = 0; i < rowCount; ++i)
        std::memcpy(pixels + static_cast<std::size_t>(rowCount - 1 - i) * rowLength,
                    copy.get() + static_cast<std::size_t>(i) * rowLength, rowLength);
}
