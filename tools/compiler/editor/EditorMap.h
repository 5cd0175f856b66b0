// The brush map text that level editors save: entities in braces holding
// "key" "value" pairs and brushes, each brush a list of face planes given by
// three points, a texture name and the texture's placement, in the standard
// form or the Valve 220 form. docs/EDITOR.md describes what is read.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "compiler/Geometry.h"
#include "compiler/Reporter.h"

namespace orvcompile {

// One face as the editor wrote it, in the editor's own space (z up). The
// three points run so that Cross(c − a, b − a) points out of the brush.
struct EditorFace {
    Vec3 points[3];
    std::string texture;
    bool valve = false;  // explicit texture axes (Valve 220)
    Vec3 uAxis, vAxis;   // Valve 220 only
    // Brush primitives: u and v (in repeats) as matrix · (x, y, 1), with x and
    // y the point's coordinates on axes that the face's normal gives.
    bool primitive = false;
    double matrix[2][3] = {{0, 0, 0}, {0, 0, 0}};
    double offset[2] = {0, 0};
    double rotation = 0;  // degrees; the standard form only
    double scale[2] = {1, 1};
};

struct EditorBrush {
    int line = 0;
    std::vector<EditorFace> faces;
};

struct EditorEntity {
    int line = 0;
    std::vector<std::pair<std::string, std::string>> keys;  // in file order
    std::vector<EditorBrush> brushes;

    // The value of the first pair with this key, or "" when there is none.
    std::string Value(const std::string& key) const;
    bool Has(const std::string& key) const;
};

struct EditorMap {
    std::vector<EditorEntity> entities;
};

// True when the text is in the editors' format rather than the engine's own:
// its first thing that is not white space or a "//" comment is an opening
// brace, or "Version" as some editors write first (the engine's own maps
// start with a statement or a '#' comment).
bool LooksLikeEditorMap(const std::string& text);

// TEXT in lower case: the editors' names (class names, textures, files)
// compare ignoring case.
std::string Lower(std::string text);

// The last part of an editor's name or path, after its last '/' or '\\' (the
// editors write either).
std::string BaseName(const std::string& path);

// Numbers in a value, "x y z" and the like; false unless all `count` read.
bool Numbers(const std::string& value, double* out, int count);

// Every number at the start of a value.
std::vector<double> AllNumbers(const std::string& value);

// Reads the entities and their brushes, plain and as brush primitives
// ("brushDef"). Patches and other blocks inside an entity that are not
// brushes of face planes are left out, with one warning per kind. False for
// text that is not a map, with the reason and its line.
bool ReadEditorMap(const std::string& text, EditorMap& map, Reporter& reporter);

}  // namespace orvcompile
