// Small real BMP files for tests.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

struct Rgb {
    std::uint8_t r, g, b;
};

// How a test BMP is stored: bits per pixel (1, 4 and 8 with a palette of the
// colours used; 16 as 5-5-5; 24; 32 with an unused fourth byte), the
// information header's size (12 for the oldest header with 16-bit sizes, 40,
// 108, 124) and the row order.
struct BmpFormat {
    int bits = 24;
    int headerSize = 40;
    bool topDown = false;
};

// An uncompressed BMP, `colour(x, y)` with y = 0 the top row. Rows are padded
// to four bytes as the format asks; the header's image size is the padded size.
std::string MakeBmp(int width, int height, const std::function<Rgb(int x, int y)>& colour, BmpFormat format);

// A 24-bit bottom-up BMP. `extraInfoBytes` lengthens the information header,
// as newer header versions do, with the pixel data offset following it.
std::string MakeBmp24(int width, int height, const std::function<Rgb(int x, int y)>& colour, int extraInfoBytes = 0);

// A grey picture of the given size.
std::string Bmp24(int width, int height);
