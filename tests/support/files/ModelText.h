// Model files written as text, for the tests of the loader, the start-up and orvtool.
#pragma once

#include <string>
#include <vector>

struct PartText {
    std::string name;
    std::string parent = "none";
    std::string translation = "0 0 0";
    std::string rotation = "0 0 0";
    std::vector<std::string> polygons;  // each 15 floats and a name
};

// One triangle: V0 (0, 0, 0), V1 (0, 1, 0), V2 (1, 0, 0), lightmap
// coordinates equal to x and y, and the name "lm".
extern const char* const kTriangleText;

// The whole file: "NMDL", version 1, three free words, the part count, the
// part records each with its free words, then the last free word.
std::string ModelText(const std::vector<PartText>& parts);
