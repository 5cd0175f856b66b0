// Each texture is drawn from a few shapes (rectangles, lines, noise) with a
// fixed hash as its only randomness, so builds give identical bytes.
#include "content/Textures.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>

namespace orvcontent {
namespace {

struct Colour {
    double r, g, b;
};

Colour Mix(Colour a, Colour b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Colour Scale(Colour c, double s) { return {c.r * s, c.g * s, c.b * s}; }

// A repeatable pseudo-random value in [0, 1) for integer coordinates.
double Hash(int x, int y, int seed) {
    std::uint32_t h = static_cast<std::uint32_t>(x) * 374761393u + static_cast<std::uint32_t>(y) * 668265263u +
                      static_cast<std::uint32_t>(seed) * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return (h & 0xffffff) / 16777216.0;
}

// Smooth value noise that wraps with the given period, so textures tile.
double Noise(double x, double y, int period, int seed) {
    const int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
    const double fx = x - x0, fy = y - y0;
    auto at = [&](int ix, int iy) {
        return Hash(((ix % period) + period) % period, ((iy % period) + period) % period, seed);
    };
    const double sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
    const double top = at(x0, y0) + (at(x0 + 1, y0) - at(x0, y0)) * sx;
    const double bottom = at(x0, y0 + 1) + (at(x0 + 1, y0 + 1) - at(x0, y0 + 1)) * sx;
    return top + (bottom - top) * sy;
}

// Noise of a few octaves over a picture of `size` pixels, in [0, 1).
double Grain(int x, int y, int size, int cells, int seed) {
    double sum = 0, weight = 0, amplitude = 1;
    for (int octave = 0; octave < 3; ++octave) {
        const double scale = static_cast<double>(cells << octave) / size;
        sum += amplitude * Noise(x * scale, y * scale, cells << octave, seed + octave);
        weight += amplitude;
        amplitude *= 0.5;
    }
    return sum / weight;
}

using Shader = std::function<Colour(int x, int y)>;

orvcompile::Picture Paint(int size, const Shader& shade) {
    orvcompile::Picture picture;
    picture.width = picture.height = size;
    picture.rgb.resize(static_cast<std::size_t>(size) * size * 3);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const Colour c = shade(x, y);
            const std::size_t at = (static_cast<std::size_t>(y) * size + x) * 3;
            picture.rgb[at] = static_cast<std::uint8_t>(std::clamp(c.r, 0.0, 1.0) * 255 + 0.5);
            picture.rgb[at + 1] = static_cast<std::uint8_t>(std::clamp(c.g, 0.0, 1.0) * 255 + 0.5);
            picture.rgb[at + 2] = static_cast<std::uint8_t>(std::clamp(c.b, 0.0, 1.0) * 255 + 0.5);
        }
    }
    return picture;
}

// Distance in pixels from (x, y) to the nearest edge of the cell it lies in,
// for cells of w × h pixels.
int EdgeDistance(int x, int y, int w, int h) {
    const int cx = x % w, cy = y % h;
    return std::min(std::min(cx, w - 1 - cx), std::min(cy, h - 1 - cy));
}

// A bevel: lighter on a cell's top and left edges, darker on the bottom and right.
double Bevel(int x, int y, int w, int h, int width) {
    const int cx = x % w, cy = y % h;
    if (cx < width || cy < width) return 1.18;
    if (cx >= w - width || cy >= h - width) return 0.78;
    return 1.0;
}

orvcompile::Picture Bricks() {
    const int size = 128;
    return Paint(size, [&](int x, int y) {
        const int row = y / 16;
        const int shifted = x + (row % 2) * 16;
        const bool mortar = y % 16 < 2 || shifted % 32 < 2;
        const double grain = Grain(x, y, size, 16, 1);
        if (mortar) return Scale(Colour{0.62, 0.6, 0.56}, 0.8 + 0.3 * grain);
        const double brick = Hash((shifted / 32) % 4, row, 2);
        const Colour base = Mix(Colour{0.58, 0.22, 0.15}, Colour{0.72, 0.34, 0.2}, brick);
        return Scale(base, 0.75 + 0.45 * grain);
    });
}

orvcompile::Picture ConcretePanels() {
    const int size = 128;
    return Paint(size, [&](int x, int y) {
        const double grain = Grain(x, y, size, 8, 3);
        Colour c = Scale(Colour{0.62, 0.63, 0.64}, 0.8 + 0.35 * grain);
        if (EdgeDistance(x, y, 64, 64) < 2) c = Scale(c, 0.55);
        // Rivets a little in from each panel corner.
        const int cx = x % 64, cy = y % 64;
        for (int rx : {6, 57})
            for (int ry : {6, 57})
                if ((cx - rx) * (cx - rx) + (cy - ry) * (cy - ry) <= 4) c = Scale(c, cx <= rx ? 1.3 : 0.7);
        return c;
    });
}

orvcompile::Picture StoneBlocks() {
    const int size = 128;
    return Paint(size, [&](int x, int y) {
        const int row = y / 32;
        const int shifted = x + (row % 2) * 32;
        const double grain = Grain(x, y, size, 16, 4);
        if (y % 32 < 3 || shifted % 64 < 3) return Scale(Colour{0.3, 0.29, 0.27}, 0.9 + 0.2 * grain);
        const double block = Hash((shifted / 64) % 2, row, 5);
        const Colour base = Mix(Colour{0.55, 0.52, 0.45}, Colour{0.66, 0.62, 0.54}, block);
        return Scale(base, (0.7 + 0.5 * grain) * Bevel(shifted, y, 64, 32, 3));
    });
}

orvcompile::Picture MetalPanels() {
    const int size = 128;
    return Paint(size, [&](int x, int y) {
        const double grain = Grain(x, y * 8, size, 8, 6);  // brushed: streaks along x
        Colour c = Scale(Colour{0.36, 0.45, 0.55}, (0.85 + 0.25 * grain) * Bevel(x, y, 128, 32, 2));
        if (y % 32 >= 14 && y % 32 < 18) c = Scale(Colour{0.85, 0.65, 0.15}, 0.9 + 0.1 * grain);  // trim stripe
        return c;
    });
}

orvcompile::Picture WoodPanelling() {
    const int size = 128;
    return Paint(size, [&](int x, int y) {
        const int plank = x / 16;
        const double rings = std::sin((y * 0.05 + Grain(x, y, size, 4, 7 + plank) * 6) * 6.28) * 0.5 + 0.5;
        const Colour base = Mix(Colour{0.42, 0.25, 0.13}, Colour{0.55, 0.35, 0.18}, Hash(plank, 0, 8));
        Colour c = Scale(base, 0.8 + 0.25 * rings);
        if (x % 16 < 1) c = Scale(c, 0.45);
        if (y % 128 < 6) c = Scale(Colour{0.3, 0.18, 0.09}, 1.0);  // rail
        return c;
    });
}

orvcompile::Picture GreenTiles() {
    const int size = 64;
    return Paint(size, [&](int x, int y) {
        const double grain = Grain(x, y, size, 8, 9);
        if (x % 16 < 1 || y % 16 < 1) return Colour{0.75, 0.77, 0.72};
        const Colour base = Mix(Colour{0.18, 0.45, 0.38}, Colour{0.22, 0.55, 0.45}, Hash(x / 16, y / 16, 10));
        return Scale(base, (0.9 + 0.15 * grain) * Bevel(x, y, 16, 16, 1));
    });
}

orvcompile::Picture CheckerTiles() {
    const int size = 128;
    return Paint(size, [&](int x, int y) {
        const double grain = Grain(x, y, size, 16, 11);
        if (x % 32 < 2 || y % 32 < 2) return Scale(Colour{0.25, 0.24, 0.22}, 1.0);
        const bool dark = ((x / 32) + (y / 32)) % 2 == 1;
        const Colour base = dark ? Colour{0.35, 0.36, 0.4} : Colour{0.78, 0.74, 0.66};
        return Scale(base, 0.88 + 0.2 * grain);
    });
}

orvcompile::Picture FloorPlanks() {
    const int size = 128;
    return Paint(size, [&](int x, int y) {
        const int row = y / 16;
        const int shifted = x + static_cast<int>(Hash(row, 0, 12) * 128);
        const double streaks = Grain(shifted % size, y * 6 % size, size, 8, 13 + row);
        const Colour base = Mix(Colour{0.52, 0.34, 0.18}, Colour{0.66, 0.46, 0.26}, Hash(row, 1, 14));
        Colour c = Scale(base, 0.75 + 0.4 * streaks);
        if (y % 16 < 1 || shifted % 128 < 1) c = Scale(c, 0.4);
        return c;
    });
}

orvcompile::Picture CeilingPanels() {
    const int size = 64;
    return Paint(size, [&](int x, int y) {
        const double grain = Grain(x, y, size, 16, 15);
        if (x % 32 < 2 || y % 32 < 2) return Colour{0.45, 0.46, 0.48};  // the grid
        return Scale(Colour{0.85, 0.85, 0.82}, 0.9 + 0.12 * grain);
    });
}

orvcompile::Picture WoodenDoor() {
    const int size = 128;
    return Paint(size, [&](int x, int y) {
        const double grain = Grain(x, y * 4 % size, size, 8, 16);
        Colour c = Scale(Colour{0.5, 0.3, 0.15}, 0.8 + 0.3 * grain);
        // Two recessed panels, one above the other.
        for (int top : {10, 70}) {
            if (x >= 16 && x < 112 && y >= top && y < top + 48) c = Scale(c, Bevel(x - 16, y - top, 96, 48, 3) * 0.92);
        }
        const int hx = x - 100, hy = y - 66;
        if (hx * hx + hy * hy <= 16) c = Colour{0.85, 0.72, 0.3};  // brass handle
        if (x < 4 || x >= 124) c = Scale(c, 0.7);
        return c;
    });
}

orvcompile::Picture MetalDoor() {
    const int size = 128;
    return Paint(size, [&](int x, int y) {
        const double grain = Grain(x, y, size, 8, 17);
        Colour c = Scale(Colour{0.5, 0.52, 0.55}, 0.85 + 0.2 * grain);
        if (x >= 62 && x < 66) c = Colour{0.12, 0.12, 0.13};  // the seam of the two leaves
        if (y >= 104) c = ((x + y) / 12) % 2 ? Colour{0.9, 0.75, 0.1} : Colour{0.12, 0.12, 0.12};  // hazard band
        if (y >= 40 && y < 56 && ((x >= 20 && x < 52) || (x >= 76 && x < 108))) c = Colour{0.2, 0.3, 0.35};  // windows
        return c;
    });
}

orvcompile::Picture StairTread() {
    const int size = 64;
    return Paint(size, [&](int x, int y) {
        const double grain = Grain(x, y, size, 8, 18);
        Colour c = Scale(Colour{0.4, 0.4, 0.42}, 0.85 + 0.2 * grain);
        if ((x + y) % 8 == 0 || (x - y + 64) % 8 == 0) c = Scale(c, 1.35);  // diamond plate ridges
        if (y < 8) c = ((x / 8) % 2) ? Colour{0.95, 0.78, 0.12} : Colour{0.15, 0.15, 0.15};  // nosing stripe
        return c;
    });
}

orvcompile::Picture RampPlate() {
    const int size = 64;
    return Paint(size, [&](int x, int y) {
        const double grain = Grain(x, y, size, 8, 19);
        Colour c = Scale(Colour{0.5, 0.52, 0.5}, 0.8 + 0.3 * grain);
        const int cx = x % 16, cy = y % 16;
        const bool ridge = (cy / 8 == 0) ? std::abs(cx - cy - 4) <= 1 : std::abs(cx + cy - 20) <= 1;
        if (ridge) c = Scale(c, 1.4);
        return c;
    });
}

orvcompile::Picture Crate() {
    const int size = 128;
    return Paint(size, [&](int x, int y) {
        const double grain = Grain(x, y * 5 % size, size, 8, 20);
        const Colour wood = Scale(Colour{0.62, 0.45, 0.24}, 0.75 + 0.35 * grain);
        const bool frame = EdgeDistance(x, y, size, size) < 14;
        const bool brace = std::abs(x - y) < 10;
        Colour c = wood;
        if (!frame && !brace) c = Scale(wood, 0.72);  // the boards behind frame and brace
        if (!frame && !brace && x % 19 < 1) c = Scale(c, 0.6);
        if (EdgeDistance(x, y, size, size) == 14 || (!frame && std::abs(x - y) == 10)) c = Scale(c, 0.5);
        const int nx = x < 64 ? x - 7 : x - 120, ny = y < 64 ? y - 7 : y - 120;  // corner nails
        if (nx * nx + ny * ny <= 4) c = Colour{0.3, 0.3, 0.32};
        return c;
    });
}

orvcompile::Picture ComputerPanel() {
    const int size = 128;
    return Paint(size, [&](int x, int y) {
        Colour c = Scale(Colour{0.3, 0.32, 0.36}, 0.9 + 0.15 * Grain(x, y, size, 8, 21));
        if (x % 64 < 2) c = Colour{0.12, 0.12, 0.14};  // cabinet seams
        // Tape reels in the upper half.
        for (int rx : {20, 44, 84, 108}) {
            const int dx = x - rx, dy = y - 26, d2 = dx * dx + dy * dy;
            if (d2 <= 121) c = d2 <= 9 ? Colour{0.8, 0.8, 0.8} : (d2 <= 100 ? Colour{0.1, 0.1, 0.12} : Colour{0.6, 0.6, 0.62});
        }
        // Rows of indicator lamps below.
        if (y >= 52 && y < 100 && x % 64 >= 6 && x % 64 < 58) {
            c = Colour{0.08, 0.08, 0.1};
            const int lx = (x % 64 - 6) % 8, ly = (y - 52) % 8;
            if (lx >= 2 && lx < 6 && ly >= 2 && ly < 6) {
                const double pick = Hash((x % 64 - 6) / 8 + (x / 64) * 7, (y - 52) / 8, 22);
                if (pick < 0.25) c = Colour{1.0, 0.2, 0.15};
                else if (pick < 0.5) c = Colour{0.2, 1.0, 0.3};
                else if (pick < 0.65) c = Colour{1.0, 0.8, 0.2};
                else c = Colour{0.2, 0.22, 0.2};
            }
        }
        if (y >= 108 && y < 120 && x % 64 >= 10 && x % 64 < 54) c = Colour{0.15, 0.4, 0.2};  // a readout
        return c;
    });
}

orvcompile::Picture White() {
    return Paint(64, [](int, int) { return Colour{1, 1, 1}; });
}

struct NamedTexture {
    const char* name;
    orvcompile::Picture (*make)();
};

const NamedTexture kTextures[] = {
    {"wall0", Bricks},         {"wall1", ConcretePanels}, {"wall2", StoneBlocks}, {"wall3", MetalPanels},
    {"wall4", WoodPanelling},  {"wall5", GreenTiles},     {"floor0", CheckerTiles}, {"floor1", FloorPlanks},
    {"ceiling0", CeilingPanels}, {"door0", WoodenDoor},   {"door1", MetalDoor},   {"stair0", StairTread},
    {"ramp0", RampPlate},      {"box0", Crate},           {"mainframe0", ComputerPanel}, {"lmblank", White},
};

}  // namespace

const std::vector<std::string>& TextureNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> all;
        for (const auto& texture : kTextures) all.push_back(texture.name);
        return all;
    }();
    return names;
}

bool MakeTexture(const std::string& name, orvcompile::Picture& picture) {
    for (const auto& texture : kTextures) {
        if (name == texture.name) {
            picture = texture.make();
            return true;
        }
    }
    return false;
}

}  // namespace orvcontent
