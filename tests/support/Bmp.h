// Small real BMP files for tests.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

struct Rgb {
    std::uint8_t r, g, b;
};

// A 24-bit uncompressed bottom-up BMP, `colour(x, y)` with y = 0 the top row.
// Rows are padded to four bytes as the format asks; the header's image size
// is the padded size. `extraInfoBytes` lengthens the information header, as
// newer header versions do, with the pixel data offset following it.
std::string MakeBmp24(int width, int height, const std::function<Rgb(int x, int y)>& colour,
                      int extraInfoBytes = 0);

// A grey picture of the given size.
std::string Bmp24(int width, int height);
