#include "support/observe/Screenshot.h"

#include <algorithm>
#include <fstream>
#include <iterator>

int Rgb::Min() const { return std::min({r, g, b}); }
int Rgb::Max() const { return std::max({r, g, b}); }

Rgb Screenshot::At(int x, int y) const {
    const std::uint8_t* p = &rgb[(std::size_t(y) * std::size_t(width) + std::size_t(x)) * 3];
    return {p[0], p[1], p[2]};
}

namespace {

// The next number of a PPM header, skipping white space and comments.
std::optional<int> HeaderNumber(std::istream& in) {
    for (;;) {
        int c = in.peek();
        if (c == '#') {
            std::string comment;
            std::getline(in, comment);
        } else if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            in.get();
        } else {
            break;
        }
    }
    int value = 0;
    if (!(in >> value) || value <= 0) return std::nullopt;
    return value;
}

}  // namespace

std::optional<Screenshot> ReadScreenshot(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string magic(2, '\0');
    if (!in.read(magic.data(), 2) || magic != "P6") return std::nullopt;
    auto width = HeaderNumber(in);
    auto height = HeaderNumber(in);
    auto maxValue = HeaderNumber(in);
    if (!width || !height || maxValue != 255 || *width > 16384 || *height > 16384) return std::nullopt;
    in.get();  // the one white-space byte before the pixels
    Screenshot shot;
    shot.width = *width;
    shot.height = *height;
    shot.rgb.resize(std::size_t(shot.width) * std::size_t(shot.height) * 3);
    if (!in.read(reinterpret_cast<char*>(shot.rgb.data()), std::streamsize(shot.rgb.size()))) return std::nullopt;
    return shot;
}

int PictureArea::ScreenX(int x) const { return left + (2 * x + 1) * width / (2 * kPictureWidth); }
int PictureArea::ScreenY(int y) const { return top + (2 * y + 1) * height / (2 * kPictureHeight); }

bool PictureArea::Contains(int screenX, int screenY) const {
    return screenX >= left && screenX < left + width && screenY >= top && screenY < top + height;
}

PictureArea PictureAreaOf(const Screenshot& shot) {
    int width = shot.width;
    int height = shot.width * 3 / 4;
    if (height > shot.height) {
        height = shot.height;
        width = shot.height * 4 / 3;
    }
    return {(shot.width - width) / 2, (shot.height - height) / 2, width, height};
}
