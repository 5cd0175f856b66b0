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

// The pictures are drawn for the engine's nearest-texel magnification: edges
// fall on whole texels, each bevel is a texel or two of light above and
// shadow below, and a per-texel speckle gives a close wall a crisp grain of
// its own instead of smooth ramps, which become blocky steps when magnified.
constexpr int kSize = 256;

// A factor around 1 that changes from texel to texel.
double Speckle(int x, int y, int seed, double amount) { return 1 + amount * (2 * Hash(x, y, seed) - 1); }

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
    if (cx >= w - width || cy >= h - width) return 0.72;
    return 1.0;
}

orvcompile::Picture Bricks() {
    return Paint(kSize, [](int x, int y) {
        const int row = y / 32;
        const int shifted = (x + (row % 2) * 32) % kSize;
        const double grain = Grain(x, y, kSize, 32, 1);
        if (y % 32 < 4 || shifted % 64 < 4) {
            // Mortar, in the shadow of the brick above.
            const double shadow = y % 32 < 2 ? 0.7 : 1.0;
            return Scale(Colour{0.6, 0.58, 0.54}, (0.8 + 0.3 * grain) * shadow * Speckle(x, y, 30, 0.1));
        }
        const double brick = Hash(shifted / 64, row, 2);
        const Colour base = Mix(Colour{0.56, 0.2, 0.13}, Colour{0.74, 0.35, 0.2}, brick);
        const double edge = Bevel(shifted - 4, y - 4, 60, 28, 2);
        const double pit = Hash(x, y, 31) > 0.97 ? 0.7 : 1.0;  // small pits in the fired clay
        return Scale(base, (0.75 + 0.45 * grain) * edge * pit * Speckle(x, y, 32, 0.07));
    });
}

orvcompile::Picture ConcretePanels() {
    return Paint(kSize, [](int x, int y) {
        const double grain = Grain(x, y, kSize, 16, 3);
        Colour c = Scale(Colour{0.62, 0.63, 0.64}, (0.8 + 0.35 * grain) * Speckle(x, y, 33, 0.08));
        const int edge = EdgeDistance(x, y, 128, 128);
        if (edge < 3)
            c = Scale(c, 0.5);
        else if (edge < 5)
            c = Scale(c, x % 128 < 64 && y % 128 < 64 ? 1.15 : 0.85);
        // Rivets a little in from each panel corner: lit above, shaded below.
        const int cx = x % 128, cy = y % 128;
        for (int rx : {12, 115})
            for (int ry : {12, 115}) {
                const int dx = cx - rx, dy = cy - ry;
                if (dx * dx + dy * dy <= 16) c = Scale(Colour{0.7, 0.7, 0.72}, dx + dy < 0 ? 1.3 : 0.7);
            }
        return c;
    });
}

orvcompile::Picture StoneBlocks() {
    return Paint(kSize, [](int x, int y) {
        const int row = y / 64;
        const int shifted = (x + (row % 2) * 64) % kSize;
        const double grain = Grain(x, y, kSize, 32, 4);
        if (y % 64 < 5 || shifted % 128 < 5)
            return Scale(Colour{0.3, 0.29, 0.27}, (0.9 + 0.2 * grain) * Speckle(x, y, 34, 0.12));
        const double block = Hash(shifted / 128, row, 5);
        const Colour base = Mix(Colour{0.55, 0.52, 0.45}, Colour{0.66, 0.62, 0.54}, block);
        return Scale(base, (0.7 + 0.5 * grain) * Bevel(shifted - 5, y - 5, 123, 59, 3) * Speckle(x, y, 35, 0.08));
    });
}

orvcompile::Picture MetalPanels() {
    return Paint(kSize, [](int x, int y) {
        const double grain = Grain(x, y * 8 % kSize, kSize, 16, 6);  // brushed: streaks along x
        Colour c = Scale(Colour{0.36, 0.45, 0.55},
                         (0.85 + 0.25 * grain) * Bevel(x, y, kSize, 64, 2) * Speckle(x, y, 36, 0.05));
        if (y % 64 >= 28 && y % 64 < 36) {  // a trim stripe, its edges catching the light
            c = Scale(Colour{0.85, 0.65, 0.15}, (0.9 + 0.1 * grain) * (y % 64 == 28 ? 1.2 : y % 64 == 35 ? 0.7 : 1));
        }
        if ((x % 64 == 32) && (y % 64 == 12 || y % 64 == 52)) c = Colour{0.85, 0.88, 0.9};  // screw heads
        return c;
    });
}

orvcompile::Picture WoodPanelling() {
    return Paint(kSize, [](int x, int y) {
        const int plank = x / 32;
        const double rings = std::sin((y * 0.025 + Grain(x, y, kSize, 8, 7 + plank) * 6) * 6.28) * 0.5 + 0.5;
        const Colour base = Mix(Colour{0.42, 0.25, 0.13}, Colour{0.55, 0.35, 0.18}, Hash(plank, 0, 8));
        Colour c = Scale(base, (0.8 + 0.25 * rings) * Speckle(x, y, 37, 0.06));
        if (x % 32 < 2) c = Scale(c, x % 32 == 0 ? 0.4 : 1.2);  // a groove and its lit edge
        if (y < 12) c = Scale(Colour{0.3, 0.18, 0.09}, y == 11 ? 0.6 : y == 0 ? 1.3 : 1.0);  // the rail
        return c;
    });
}

orvcompile::Picture GreenTiles() {
    return Paint(kSize, [](int x, int y) {
        const double grain = Grain(x, y, kSize, 16, 9);
        if (x % 64 < 3 || y % 64 < 3) return Scale(Colour{0.75, 0.77, 0.72}, Speckle(x, y, 38, 0.08));
        const Colour base = Mix(Colour{0.18, 0.45, 0.38}, Colour{0.22, 0.55, 0.45}, Hash(x / 64, y / 64, 10));
        return Scale(base, (0.9 + 0.15 * grain) * Bevel(x - 3, y - 3, 61, 61, 2) * Speckle(x, y, 39, 0.04));
    });
}

orvcompile::Picture CheckerTiles() {
    return Paint(kSize, [](int x, int y) {
        const double grain = Grain(x, y, kSize, 32, 11);
        if (x % 64 < 3 || y % 64 < 3) return Scale(Colour{0.25, 0.24, 0.22}, Speckle(x, y, 40, 0.15));
        const bool dark = ((x / 64) + (y / 64)) % 2 == 1;
        const Colour base = dark ? Colour{0.35, 0.36, 0.4} : Colour{0.78, 0.74, 0.66};
        return Scale(base, (0.88 + 0.2 * grain) * Bevel(x - 3, y - 3, 61, 61, 2) * Speckle(x, y, 41, 0.05));
    });
}

orvcompile::Picture FloorPlanks() {
    return Paint(kSize, [](int x, int y) {
        const int row = y / 32;
        const int shifted = (x + static_cast<int>(Hash(row, 0, 12) * kSize)) % kSize;
        const double streaks = Grain(shifted, y * 6 % kSize, kSize, 16, 13 + row);
        const Colour base = Mix(Colour{0.52, 0.34, 0.18}, Colour{0.66, 0.46, 0.26}, Hash(row, 1, 14));
        Colour c = Scale(base, (0.75 + 0.4 * streaks) * Speckle(x, y, 42, 0.05));
        if (y % 32 < 2 || shifted < 2) c = Scale(c, y % 32 == 1 || shifted == 1 ? 0.55 : 0.35);
        const int nx = shifted - 8, ny = y % 32 - 16;  // a nail at each plank's end
        if (nx >= 0 && nx < 2 && ny >= -1 && ny < 1) c = Colour{0.25, 0.24, 0.23};
        return c;
    });
}

orvcompile::Picture CeilingPanels() {
    return Paint(kSize, [](int x, int y) {
        const double grain = Grain(x, y, kSize, 32, 15);
        if (x % 128 < 4 || y % 128 < 4) return Scale(Colour{0.45, 0.46, 0.48}, Speckle(x, y, 43, 0.05));  // the grid
        // Pitted acoustic tiles.
        const double pit = Hash(x / 2, y / 2, 44) > 0.96 ? 0.88 : 1.0;
        return Scale(Colour{0.85, 0.85, 0.82}, (0.9 + 0.12 * grain) * pit * Bevel(x - 4, y - 4, 124, 124, 2));
    });
}

orvcompile::Picture WoodenDoor() {
    return Paint(kSize, [](int x, int y) {
        const double grain = Grain(x, y * 4 % kSize, kSize, 16, 16);
        Colour c = Scale(Colour{0.5, 0.3, 0.15}, (0.8 + 0.3 * grain) * Speckle(x, y, 45, 0.05));
        // Two recessed panels, one above the other.
        for (int top : {20, 140}) {
            if (x >= 32 && x < 224 && y >= top && y < top + 96)
                c = Scale(c, Bevel(223 - x, top + 95 - y, 192, 96, 5) * 0.92);  // lit on the recess's far side
        }
        const int hx = x - 200, hy = y - 132;
        if (hx * hx + hy * hy <= 64) c = Scale(Colour{0.85, 0.72, 0.3}, hx + hy < -4 ? 1.2 : 0.85);  // brass handle
        if (x < 8 || x >= 248) c = Scale(c, 0.7);
        return c;
    });
}

orvcompile::Picture MetalDoor() {
    return Paint(kSize, [](int x, int y) {
        const double grain = Grain(x, y, kSize, 16, 17);
        Colour c = Scale(Colour{0.5, 0.52, 0.55}, (0.85 + 0.2 * grain) * Speckle(x, y, 46, 0.05));
        if (x >= 124 && x < 132)
            c = x == 124 || x == 131 ? Colour{0.3, 0.3, 0.32} : Colour{0.12, 0.12, 0.13};  // the seam
        if (y >= 208)                                                                      // hazard band
            c = Scale(((x + y) / 24) % 2 ? Colour{0.9, 0.75, 0.1} : Colour{0.12, 0.12, 0.12}, Speckle(x, y, 47, 0.06));
        if (y >= 80 && y < 112 && ((x >= 40 && x < 104) || (x >= 152 && x < 216))) {  // windows with a bright pane edge
            c = Colour{0.2, 0.3, 0.35};
            if (y == 80 || x == 40 || x == 152) c = Colour{0.1, 0.12, 0.14};
            if ((x + 112 - y) % 64 < 6) c = Colour{0.4, 0.52, 0.58};  // a glint across the glass
        }
        return c;
    });
}

orvcompile::Picture StairTread() {
    return Paint(kSize, [](int x, int y) {
        const double grain = Grain(x, y, kSize, 16, 18);
        Colour c = Scale(Colour{0.4, 0.4, 0.42}, (0.85 + 0.2 * grain) * Speckle(x, y, 48, 0.05));
        // Diamond plate: each ridge lit on one side, shaded on the other.
        const int a = (x + y) % 16, b = (x - y + kSize) % 16;
        if (a == 0 || b == 0)
            c = Scale(c, 1.4);
        else if (a == 1 || b == 1)
            c = Scale(c, 0.75);
        if (y < 32) c = ((x / 32) % 2) ? Colour{0.95, 0.78, 0.12} : Colour{0.15, 0.15, 0.15};  // nosing stripe
        if (y == 31) c = Scale(c, 0.5);
        return c;
    });
}

orvcompile::Picture RampPlate() {
    return Paint(kSize, [](int x, int y) {
        const double grain = Grain(x, y, kSize, 16, 19);
        Colour c = Scale(Colour{0.5, 0.52, 0.5}, (0.8 + 0.3 * grain) * Speckle(x, y, 49, 0.06));
        const int cx = x % 32, cy = y % 32;
        const int d = (cy / 16 == 0) ? cx - cy - 8 : cx + cy - 40;
        if (d >= -2 && d <= 0)
            c = Scale(c, 1.4);
        else if (d == 1)
            c = Scale(c, 0.7);
        return c;
    });
}

orvcompile::Picture Crate() {
    return Paint(kSize, [](int x, int y) {
        const double grain = Grain(x, y * 5 % kSize, kSize, 16, 20);
        const Colour wood = Scale(Colour{0.62, 0.45, 0.24}, (0.75 + 0.35 * grain) * Speckle(x, y, 50, 0.05));
        const bool frame = EdgeDistance(x, y, kSize, kSize) < 28;
        const bool brace = std::abs(x - y) < 20;
        Colour c = wood;
        if (!frame && !brace) c = Scale(wood, 0.72);  // the boards behind frame and brace
        if (!frame && !brace && x % 38 < 2) c = Scale(c, 0.6);
        const int edge = EdgeDistance(x, y, kSize, kSize);
        if (edge == 28 || edge == 29 || (!frame && std::abs(x - y) >= 20 && std::abs(x - y) < 22)) c = Scale(c, 0.5);
        if (edge < 2) c = Scale(c, 1.2);
        const int nx = x < 128 ? x - 14 : x - 241, ny = y < 128 ? y - 14 : y - 241;  // corner nails
        if (nx * nx + ny * ny <= 9) c = Colour{0.3, 0.3, 0.32};
        if (nx * nx + ny * ny <= 2 && nx + ny < 0) c = Colour{0.6, 0.6, 0.62};
        return c;
    });
}

orvcompile::Picture ComputerPanel() {
    return Paint(kSize, [](int x, int y) {
        Colour c = Scale(Colour{0.3, 0.32, 0.36}, (0.9 + 0.15 * Grain(x, y, kSize, 16, 21)) * Speckle(x, y, 51, 0.04));
        if (x % 128 < 4) c = x % 128 == 3 ? Colour{0.4, 0.42, 0.46} : Colour{0.12, 0.12, 0.14};  // cabinet seams
        // Tape reels in the upper half: hub, dark tape, a silver flange.
        for (int rx : {40, 88, 168, 216}) {
            const int dx = x - rx, dy = y - 52, d2 = dx * dx + dy * dy;
            if (d2 <= 484) {
                c = d2 <= 36 ? Colour{0.8, 0.8, 0.8} : (d2 <= 400 ? Colour{0.1, 0.1, 0.12} : Colour{0.6, 0.6, 0.62});
                if (d2 > 36 && d2 <= 400 && (dx == 0 || dy == 0)) c = Colour{0.18, 0.18, 0.2};  // spokes
            }
        }
        // Rows of indicator lamps below, each with a bright centre.
        if (y >= 104 && y < 200 && x % 128 >= 12 && x % 128 < 116) {
            c = Colour{0.08, 0.08, 0.1};
            const int lx = (x % 128 - 12) % 16, ly = (y - 104) % 16;
            if (lx >= 4 && lx < 12 && ly >= 4 && ly < 12) {
                const double pick = Hash((x % 128 - 12) / 16 + (x / 128) * 7, (y - 104) / 16, 22);
                if (pick < 0.25)
                    c = Colour{1.0, 0.2, 0.15};
                else if (pick < 0.5)
                    c = Colour{0.2, 1.0, 0.3};
                else if (pick < 0.65)
                    c = Colour{1.0, 0.8, 0.2};
                else
                    c = Colour{0.2, 0.22, 0.2};
                if (pick < 0.65 && lx >= 6 && lx < 8 && ly >= 6 && ly < 8) c = Mix(c, Colour{1, 1, 1}, 0.6);
            }
        }
        if (y >= 216 && y < 240 && x % 128 >= 20 && x % 128 < 108) {  // a readout of dotted digits
            c = Colour{0.05, 0.15, 0.08};
            if ((x % 4 < 2) && (y % 4 < 2) && Hash(x / 8, y / 12, 52) > 0.45) c = Colour{0.3, 0.95, 0.45};
        }
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
    {"wall0", Bricks},           {"wall1", ConcretePanels}, {"wall2", StoneBlocks},        {"wall3", MetalPanels},
    {"wall4", WoodPanelling},    {"wall5", GreenTiles},     {"floor0", CheckerTiles},      {"floor1", FloorPlanks},
    {"ceiling0", CeilingPanels}, {"door0", WoodenDoor},     {"door1", MetalDoor},          {"stair0", StairTread},
    {"ramp0", RampPlate},        {"box0", Crate},           {"mainframe0", ComputerPanel}, {"lmblank", White},
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
