// The map text: one statement per line, '#' starts a comment. See
// docs/MAP_FORMAT.md.
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "compiler/Map.h"

namespace orvcompile {

namespace {

// Coordinates stay well inside the range where floats hold integers exactly.
constexpr double kMaxCoordinate = 65536;

class Parser {
public:
    Parser(Map& map, Reporter& reporter) : map(map), reporter(reporter) {}

    bool Run(const std::string& text);

private:
    bool Fail(const std::string& message) { return reporter.Fail(line, message); }
    bool Statement();
    bool Number(double& value, const char* what);
    bool Integer(int& value, const char* what);
    bool Coordinate(double& value);
    bool Point(Vec3& p, bool integer);
    bool Colour(Vec3& c);
    bool Texture(TextureProjection& texture);
    bool Box(bool wedge);
    bool Face();
    bool AtEnd() const { return next == tokens.size(); }
    bool ExpectEnd() { return AtEnd() || Fail("unexpected '" + tokens[next] + "' at the end of the line"); }
    bool Once(bool& seen, const std::string& key) {
        if (seen) return Fail("'" + key + "' is given twice");
        seen = true;
        return true;
    }

    Map& map;
    Reporter& reporter;
    int line = 0;
    std::vector<std::string> tokens;
    std::size_t next = 0;
    MapBrush* openBrush = nullptr;  // between "brush" and "end"
    bool seenLevel = false, seenStart = false, seenDensity = false, seenPages = false, seenAmbient = false,
         seenDirt = false, seenBounce = false, seenPatch = false;
};

bool Parser::Run(const std::string& text) {
    std::istringstream lines(text);
    std::string content;
    while (std::getline(lines, content)) {
        ++line;
        const auto hash = content.find('#');
        if (hash != std::string::npos) content.erase(hash);
        std::istringstream words(content);
        tokens.clear();
        next = 0;
        for (std::string word; words >> word;) tokens.push_back(word);
        if (!tokens.empty() && !Statement()) return false;
    }
    if (openBrush) {
        line = openBrush->line;
        return Fail("'brush' has no 'end'");
    }
    if (!seenLevel) return Fail("the map names no level (add 'level NAME')");
    if (!seenStart) return Fail("the map has no player start (add 'start X Y Z')");
    if (map.brushes.empty()) return Fail("the map has no brushes");
    return true;
}

bool Parser::Number(double& value, const char* what) {
    if (AtEnd()) return Fail(std::string("missing ") + what);
    const std::string& token = tokens[next];
    char* end = nullptr;
    errno = 0;
    value = std::strtod(token.c_str(), &end);
    if (end == token.c_str() || *end != '\0' || errno != 0 || !std::isfinite(value))
        return Fail("'" + token + "' is not a number (" + what + ")");
    ++next;
    return true;
}

bool Parser::Integer(int& value, const char* what) {
    if (AtEnd()) return Fail(std::string("missing ") + what);
    const std::string& token = tokens[next];
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(token.c_str(), &end, 10);
    if (end == token.c_str() || *end != '\0' || errno != 0 || parsed < -1000000 || parsed > 1000000)
        return Fail("'" + token + "' is not an integer (" + what + ")");
    value = static_cast<int>(parsed);
    ++next;
    return true;
}

bool Parser::Coordinate(double& value) {
    int integer = 0;
    if (!Integer(integer, "integer coordinate")) return false;
    if (std::abs(integer) > kMaxCoordinate)
        return Fail("coordinate " + std::to_string(integer) + " lies outside -65536..65536");
    value = integer;
    return true;
}

bool Parser::Point(Vec3& p, bool integer) {
    if (integer) return Coordinate(p.x) && Coordinate(p.y) && Coordinate(p.z);
    if (!Number(p.x, "x") || !Number(p.y, "y") || !Number(p.z, "z")) return false;
    if (std::fabs(p.x) > kMaxCoordinate || std::fabs(p.y) > kMaxCoordinate || std::fabs(p.z) > kMaxCoordinate)
        return Fail("point lies outside -65536..65536");
    return true;
}

bool Parser::Colour(Vec3& c) {
    if (!Number(c.x, "red") || !Number(c.y, "green") || !Number(c.z, "blue")) return false;
    if (c.x < 0 || c.y < 0 || c.z < 0) return Fail("colour components must not be negative");
    return true;
}

// TEXTURE [scale U V] [offset U V] [rotate DEGREES]; "-" is no texture.
bool Parser::Texture(TextureProjection& texture) {
    if (AtEnd()) return Fail("missing texture name (use '-' for an untextured face)");
    texture.name = tokens[next++];
    if (texture.name == "-") texture.name.clear();
    if (texture.name.size() > 31) return Fail("texture name '" + texture.name + "' is longer than 31 characters");
    bool scale = false, offset = false, rotate = false;
    while (!AtEnd()) {
        const std::string key = tokens[next++];
        if (key == "scale") {
            if (!Once(scale, key) || !Number(texture.scaleU, "scale u") || !Number(texture.scaleV, "scale v"))
                return false;
            if (texture.scaleU == 0 || texture.scaleV == 0) return Fail("texture scale must not be 0");
        } else if (key == "offset") {
            if (!Once(offset, key) || !Number(texture.offsetU, "offset u") || !Number(texture.offsetV, "offset v"))
                return false;
        } else if (key == "rotate") {
            if (!Once(rotate, key) || !Number(texture.rotation, "rotation")) return false;
        } else {
            return Fail("unknown texture option '" + key + "' (expected scale, offset or rotate)");
        }
    }
    return true;
}

// A face through a, b, c, ordered so that its normal points along `outward`.
MapFace OrientedFace(Vec3 a, Vec3 b, Vec3 c, Vec3 outward, const TextureProjection& texture) {
    if (Dot(Cross(b - a, c - a), outward) < 0) std::swap(b, c);
    return {{a, b, c}, texture};
}

// box X1 Y1 Z1 X2 Y2 Z2 TEXTURE ... | wedge X1 Y1 Z1 X2 Y2 Z2 RISE TEXTURE ...
bool Parser::Box(bool wedge) {
    Vec3 lo, hi;
    if (!Point(lo, true) || !Point(hi, true)) return false;
    for (int axis = 0; axis < 3; ++axis) {
        double& a = axis == 0 ? lo.x : axis == 1 ? lo.y : lo.z;
        double& b = axis == 0 ? hi.x : axis == 1 ? hi.y : hi.z;
        if (a == b) return Fail("the corners give no volume (equal " + std::string(1, "xyz"[axis]) + ")");
        if (a > b) std::swap(a, b);
    }
    int riseAxis = -1;
    double riseSign = 0;
    if (wedge) {
        if (AtEnd()) return Fail("missing the wedge's rising side (+x, -x, +z or -z)");
        const std::string rise = tokens[next++];
        if (rise.size() != 2 || (rise[0] != '+' && rise[0] != '-') || (rise[1] != 'x' && rise[1] != 'z'))
            return Fail("'" + rise + "' is not a rising side (+x, -x, +z or -z)");
        riseAxis = rise[1] == 'x' ? 0 : 2;
        riseSign = rise[0] == '+' ? 1 : -1;
    }
    MapBrush brush;
    brush.line = line;
    TextureProjection texture;
    if (!Texture(texture)) return false;

    auto corner = [&](bool x, bool y, bool z) { return Vec3{x ? hi.x : lo.x, y ? hi.y : lo.y, z ? hi.z : lo.z}; };
    const Vec3 axes[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (int axis = 0; axis < 3; ++axis) {
        for (int side = 0; side < 2; ++side) {
            const Vec3 outward = axes[axis] * (side ? 1.0 : -1.0);
            if (wedge && axis == 1 && side == 1) continue;                               // the slope replaces the top
            if (wedge && axis == riseAxis && (side ? 1.0 : -1.0) != riseSign) continue;  // the low edge
            const Vec3 base = side ? hi : lo;
            const Vec3 u = axes[(axis + 1) % 3], v = axes[(axis + 2) % 3];
            brush.faces.push_back(OrientedFace(base, base + u, base + v, outward, texture));
        }
    }
    if (wedge) {
        const bool high = riseSign > 0;  // whether the high edge is at the axis' maximum
        const bool alongX = riseAxis == 0;
        // Low edge at the bottom on the low side, high edge at the top on the high side.
        auto at = [&](bool highSide, bool other, bool top) {
            const bool onAxis = highSide ? high : !high;
            return alongX ? corner(onAxis, top, other) : corner(other, top, onAxis);
        };
        const Vec3 outward = Vec3{0, 1, 0} - axes[riseAxis] * riseSign;
        brush.faces.push_back(
            OrientedFace(at(false, false, false), at(false, true, false), at(true, false, true), outward, texture));
    }
    map.brushes.push_back(brush);
    return true;
}

// face AX AY AZ BX BY BZ CX CY CZ TEXTURE ...
bool Parser::Face() {
    MapFace face;
    if (!Point(face.points[0], true) || !Point(face.points[1], true) || !Point(face.points[2], true)) return false;
    if (Length(Cross(face.points[1] - face.points[0], face.points[2] - face.points[0])) == 0)
        return Fail("the face's three points lie on one line");
    if (!Texture(face.texture)) return false;
    openBrush->faces.push_back(face);
    return true;
}

bool Parser::Statement() {
    const std::string key = tokens[next++];
    if (openBrush) {
        if (key == "face") return Face();
        if (key == "end") {
            openBrush = nullptr;
            return ExpectEnd();
        }
        return Fail("unknown key '" + key + "' inside a brush (expected face or end)");
    }
    if (key == "level") {
        if (!Once(seenLevel, key)) return false;
        if (AtEnd()) return Fail("missing level name");
        map.level = tokens[next++];
        if (map.level.size() > kMaxLevelName)
            return Fail("level name '" + map.level + "' is longer than 25 characters");
        for (char c : map.level)
            if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '-')
                return Fail("level name '" + map.level + "' may hold only letters, digits, '_' and '-'");
        return ExpectEnd();
    }
    if (key == "start") return Once(seenStart, key) && Point(map.start, false) && ExpectEnd();
    if (key == "lightmap_density") {
        if (!Once(seenDensity, key) || !Number(map.lightmapDensity, "world units per luxel")) return false;
        if (map.lightmapDensity < 0.25 || map.lightmapDensity > kMaxLightmapDensity)
            return Fail("lightmap_density must lie between 0.25 and 1024 world units per luxel");
        return ExpectEnd();
    }
    if (key == "lightmap_pages") {
        if (!Once(seenPages, key) || !Integer(map.lightmapPages, "page count")) return false;
        if (map.lightmapPages < 1 || map.lightmapPages > kMaxLightmapPages)
            return Fail("lightmap_pages must lie between 1 and 32: the engine's lightmap table holds 32 names");
        return ExpectEnd();
    }
    if (key == "ambient") return Once(seenAmbient, key) && Colour(map.ambient) && ExpectEnd();
    if (key == "model_patch") return Once(seenPatch, key) && Colour(map.modelPatch) && ExpectEnd();
    if (key == "dirt") {
        if (!Once(seenDirt, key) || !Number(map.dirtDistance, "distance")) return false;
        if (map.dirtDistance < 0) return Fail("dirt distance must not be negative");
        return ExpectEnd();
    }
    if (key == "bounce") {
        if (!Once(seenBounce, key) || !Number(map.bounce, "reflectance")) return false;
        if (map.bounce < 0 || map.bounce > 1) return Fail("bounce must lie between 0 and 1");
        return ExpectEnd();
    }
    if (key == "light") {
        MapLight light;
        light.line = line;
        if (!Point(light.position, false) || !Colour(light.colour) || !Number(light.intensity, "intensity") ||
            !Number(light.radius, "radius"))
            return false;
        if (light.intensity < 0) return Fail("light intensity must not be negative");
        if (light.radius <= 0) return Fail("light radius must be greater than 0");
        map.lights.push_back(light);
        return ExpectEnd();
    }
    if (key == "box") return Box(false);
    if (key == "wedge") return Box(true);
    if (key == "brush") {
        map.brushes.push_back(MapBrush{line, {}});
        openBrush = &map.brushes.back();
        return ExpectEnd();
    }
    if (key == "face" || key == "end") return Fail("'" + key + "' outside a brush");
    return Fail("unknown key '" + key + "'");
}

}  // namespace

bool ParseMap(const std::string& text, Map& map, Reporter& reporter) {
    map = Map{};
    return Parser(map, reporter).Run(text);
}

}  // namespace orvcompile
