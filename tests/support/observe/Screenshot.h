// A screenshot as `import -depth 8` writes it (binary PPM, 8 bits a channel),
// and where the program's 640x480 picture lands on it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct Rgb {
    int r, g, b;
    int Min() const;  // the darkest channel: high only for white and near-white
    int Max() const;
    int Packed() const { return r << 16 | g << 8 | b; }
};

struct Screenshot {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;  // rows from the top

    Rgb At(int x, int y) const;
};

// Nothing when the file is not a binary 8-bit PPM.
std::optional<Screenshot> ReadScreenshot(const std::string& path);

// The picture of 640x480 pixels shown scaled to fill the screen's height or
// width, whichever is reached first, with 4:3 kept and black bars around it.
struct PictureArea {
    int left, top, width, height;

    // The screen pixel that shows the centre of picture pixel (x, y).
    int ScreenX(int x) const;
    int ScreenY(int y) const;
    bool Contains(int screenX, int screenY) const;
};

PictureArea PictureAreaOf(const Screenshot& shot);

constexpr int kPictureWidth = 640;
constexpr int kPictureHeight = 480;
