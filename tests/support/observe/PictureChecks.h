// What a screenshot of the running program must show.
#pragma once

#include <string>
#include <vector>

#include "support/observe/Screenshot.h"

// The level as the program draws it: black bars around the 4:3 picture, the
// picture filled to its edges and not blank. With `overlay`, also the white
// crosshair at the picture's centre and the three overlay texts' regions lit
// (the renderer that draws no overlay is checked without). Returns the
// problems found; none when the picture is right.
std::vector<std::string> CheckLevelPicture(const Screenshot& shot, bool overlay);

// The share of the picture's pixels (the overlay texts, which change by
// themselves, left out) that differ clearly between two screenshots.
double ViewDifference(const Screenshot& a, const Screenshot& b);

struct ScreenPoint {
    int x, y;
};

// The centres of a message box's buttons, left to right, in a screenshot of
// the box's window: the box is one colour, and its buttons are the wide runs
// of other colours in the lowest band of rows that has any.
std::vector<ScreenPoint> BoxButtons(const Screenshot& box);
