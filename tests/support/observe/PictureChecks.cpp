#include "support/observe/PictureChecks.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <unordered_set>

namespace {

// A rectangle of the 640x480 picture, right and bottom exclusive.
struct PictureRect {
    int x0, y0, x1, y1;
};

// Where the three overlay texts are drawn ("Polygons Rendered: …" at (10, 10),
// "FPS: …" at (290, 10), the banner at (380, 450)), as far as their glyphs
// reach at the renderer's font size.
constexpr PictureRect kTextRegions[] = {{10, 10, 150, 28}, {290, 10, 330, 28}, {380, 450, 600, 468}};

// White text, blended with whatever it is drawn on by the scaling: bright and
// without colour. The level's bright surfaces (the lamp, the floor tiles) are
// tinted.
bool IsTextWhite(Rgb c) { return c.Min() >= 180 && c.Max() - c.Min() <= 20; }

// Screen pixels that show any part of a region of the picture.
template <typename Visit>
void ForEachScreenPixel(const PictureArea& area, const PictureRect& rect, Visit visit) {
    int x0 = area.left + rect.x0 * area.width / kPictureWidth;
    int x1 = area.left + (rect.x1 * area.width + kPictureWidth - 1) / kPictureWidth;
    int y0 = area.top + rect.y0 * area.height / kPictureHeight;
    int y1 = area.top + (rect.y1 * area.height + kPictureHeight - 1) / kPictureHeight;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) visit(x, y);
}

bool InTextRegion(const PictureArea& area, int screenX, int screenY) {
    for (const auto& rect : kTextRegions) {
        int x0 = area.left + (rect.x0 - 4) * area.width / kPictureWidth;
        int x1 = area.left + (rect.x1 + 4) * area.width / kPictureWidth;
        int y0 = area.top + (rect.y0 - 4) * area.height / kPictureHeight;
        int y1 = area.top + (rect.y1 + 4) * area.height / kPictureHeight;
        if (screenX >= x0 && screenX < x1 && screenY >= y0 && screenY < y1) return true;
    }
    return false;
}

void CheckBars(const Screenshot& shot, const PictureArea& area, std::vector<std::string>& problems) {
    int lit = 0;
    for (int y = 0; y < shot.height; ++y)
        for (int x = 0; x < shot.width; ++x)
            if (!area.Contains(x, y) && shot.At(x, y).Max() > 8) ++lit;
    if (lit > 0) problems.push_back(std::to_string(lit) + " pixels of the black bars are not black");
}

void CheckFilled(const Screenshot& shot, const PictureArea& area, std::vector<std::string>& problems) {
    std::unordered_set<int> colours;
    double sum = 0, squares = 0;
    for (int y = area.top; y < area.top + area.height; ++y)
        for (int x = area.left; x < area.left + area.width; ++x) {
            Rgb c = shot.At(x, y);
            colours.insert(c.Packed());
            double luminance = 0.3 * c.r + 0.59 * c.g + 0.11 * c.b;
            sum += luminance;
            squares += luminance * luminance;
        }
    double n = double(area.width) * area.height;
    double deviation = std::sqrt(std::max(0.0, squares / n - (sum / n) * (sum / n)));
    if (colours.size() < 200 || deviation < 15)
        problems.push_back("the picture is blank: " + std::to_string(colours.size()) +
                           " colours, brightness deviation " + std::to_string(deviation));

    // The level reaches every edge of the picture, so the picture fills its area.
    auto litShare = [&](int x0, int y0, int dx, int dy, int count) {
        int lit = 0;
        for (int i = 0; i < count; ++i) lit += shot.At(x0 + i * dx, y0 + i * dy).Max() > 16;
        return double(lit) / count;
    };
    int right = area.left + area.width - 1;
    int bottom = area.top + area.height - 1;
    struct Edge {
        const char* name;
        double share;
    } edges[] = {{"left", litShare(area.left, area.top, 0, 1, area.height)},
                 {"right", litShare(right, area.top, 0, 1, area.height)},
                 {"top", litShare(area.left, area.top, 1, 0, area.width)},
                 {"bottom", litShare(area.left, bottom, 1, 0, area.width)}};
    for (const auto& edge : edges)
        if (edge.share < 0.25)
            problems.push_back(std::string("the picture's ") + edge.name +
                               " edge is mostly black: it is not where a 4:3 picture fills the screen");
}

// The brightest of the screen pixels that show picture pixel (x, y): scaling
// blends a one-pixel line with its surroundings, but one of those screen
// pixels is mostly the line's own.
int BrightestAt(const Screenshot& shot, const PictureArea& area, int x, int y) {
    int brightest = 0;
    ForEachScreenPixel(area, {x, y, x + 1, y + 1},
                       [&](int sx, int sy) { brightest = std::max(brightest, shot.At(sx, sy).Min()); });
    return brightest;
}

// The crosshair: a horizontal line (316..324, 240) and a vertical one
// (320, 236..244), white, each pixel of them clearly whiter than the picture
// three pixels to either side.
void CheckCrosshair(const Screenshot& shot, const PictureArea& area, std::vector<std::string>& problems) {
    int missing = 0;
    auto check = [&](int x, int y, int dx, int dy) {
        int line = BrightestAt(shot, area, x, y);
        int beside = std::max(shot.At(area.ScreenX(x - dx), area.ScreenY(y - dy)).Min(),
                              shot.At(area.ScreenX(x + dx), area.ScreenY(y + dy)).Min());
        if (line < 190 || line < beside + 16) ++missing;
    };
    for (int x = 316; x <= 324; ++x)
        if (x != 320) check(x, 240, 0, 3);
    for (int y = 236; y <= 244; ++y)
        if (y != 240) check(320, y, 3, 0);
    if (missing > 0)
        problems.push_back("no white crosshair at the picture's centre (" + std::to_string(missing) + " of 16 pixels)");
}

void CheckTexts(const Screenshot& shot, const PictureArea& area, std::vector<std::string>& problems) {
    const char* names[] = {"\"Polygons Rendered\"", "\"FPS\"", "banner"};
    for (int i = 0; i < 3; ++i) {
        int white = 0;
        ForEachScreenPixel(area, kTextRegions[i], [&](int x, int y) { white += IsTextWhite(shot.At(x, y)); });
        if (white < 100)
            problems.push_back(std::string("the ") + names[i] + " text's region is not lit (" + std::to_string(white) +
                               " white pixels)");
    }
}

}  // namespace

std::vector<std::string> CheckLevelPicture(const Screenshot& shot, bool overlay) {
    std::vector<std::string> problems;
    PictureArea area = PictureAreaOf(shot);
    CheckBars(shot, area, problems);
    CheckFilled(shot, area, problems);
    if (overlay) {
        CheckCrosshair(shot, area, problems);
        CheckTexts(shot, area, problems);
    }
    return problems;
}

double ViewDifference(const Screenshot& a, const Screenshot& b) {
    if (a.width != b.width || a.height != b.height) return 1.0;
    PictureArea area = PictureAreaOf(a);
    long compared = 0, differing = 0;
    for (int y = area.top; y < area.top + area.height; ++y)
        for (int x = area.left; x < area.left + area.width; ++x) {
            if (InTextRegion(area, x, y)) continue;
            Rgb p = a.At(x, y);
            Rgb q = b.At(x, y);
            ++compared;
            differing += std::max({std::abs(p.r - q.r), std::abs(p.g - q.g), std::abs(p.b - q.b)}) > 32;
        }
    return compared ? double(differing) / double(compared) : 0.0;
}

std::vector<ScreenPoint> BoxButtons(const Screenshot& box) {
    std::map<int, long> counts;
    for (int y = 0; y < box.height; ++y)
        for (int x = 0; x < box.width; ++x) ++counts[box.At(x, y).Packed()];
    if (counts.empty()) return {};
    int background =
        std::max_element(counts.begin(), counts.end(), [](auto& p, auto& q) { return p.second < q.second; })->first;

    // Runs of at least this many pixels that are not the box's colour: a
    // button, never a letter of the text.
    constexpr int kButtonWidth = 30;
    auto runs = [&](int y) {
        std::vector<std::pair<int, int>> found;
        int start = -1;
        for (int x = 0; x <= box.width; ++x) {
            bool other = x < box.width && box.At(x, y).Packed() != background;
            if (other && start < 0) start = x;
            if (!other && start >= 0) {
                if (x - start >= kButtonWidth) found.emplace_back(start, x);
                start = -1;
            }
        }
        return found;
    };
    int bottom = box.height - 1;
    while (bottom >= 0 && runs(bottom).empty()) --bottom;
    if (bottom < 0) return {};
    int top = bottom;
    while (top > 0 && !runs(top - 1).empty()) --top;
    int middle = (top + bottom) / 2;
    std::vector<ScreenPoint> centres;
    for (auto [x0, x1] : runs(middle)) centres.push_back({(x0 + x1) / 2, middle});
    return centres;
}
