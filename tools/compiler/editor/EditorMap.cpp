#include "compiler/editor/EditorMap.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>

namespace orvcompile {

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }
bool IsPunctuation(char c) { return c == '{' || c == '}' || c == '(' || c == ')' || c == '[' || c == ']'; }

// Tokens: the six brackets, quoted strings and words; "//" starts a comment
// that runs to the end of the line.
class Lexer {
public:
    // A UTF-8 byte order mark, which some editors write first, is skipped.
    explicit Lexer(const std::string& text) : text(text), at(text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0) {}

    int line = 1;

    // The first character of the next token, or '\0' at the end.
    char Peek() {
        SkipSpace();
        return at < text.size() ? text[at] : '\0';
    }
    bool AtEnd() { return Peek() == '\0'; }

    // A bracket, a quoted string's content or a word ending at white space, a
    // bracket or a quote.
    std::string Next(bool& quoted) {
        quoted = false;
        const char c = Peek();
        if (c == '\0') return "";
        if (IsPunctuation(c)) return std::string(1, text[at++]);
        if (c == '"') {
            quoted = true;
            return Quoted();
        }
        const std::size_t start = at;
        while (at < text.size() && !IsSpace(text[at]) && !IsPunctuation(text[at]) && text[at] != '"') ++at;
        return text.substr(start, at - start);
    }
    std::string Next() {
        bool quoted;
        return Next(quoted);
    }

    // A texture name: quoted, or everything up to white space (names such as
    // "{grate" or "+0button" begin with characters that are brackets elsewhere).
    std::string TextureName() {
        if (Peek() == '"') return Quoted();
        const std::size_t start = at;
        while (at < text.size() && !IsSpace(text[at])) ++at;
        return text.substr(start, at - start);
    }

private:
    void SkipSpace() {
        while (at < text.size()) {
            if (text[at] == '\n') ++line;
            if (IsSpace(text[at])) {
                ++at;
            } else if (text.compare(at, 2, "//") == 0) {
                while (at < text.size() && text[at] != '\n') ++at;
            } else {
                break;
            }
        }
    }

    // A backslash before a quote keeps the quote, unless the quote ends the
    // line or is followed by white space: "C:\quake\" is a complete value.
    std::string Quoted() {
        std::string out;
        for (++at; at < text.size(); ++at) {
            const char c = text[at];
            if (c == '\n') ++line;
            if (c == '\\' && at + 2 < text.size() && text[at + 1] == '"' && !IsSpace(text[at + 2])) {
                out += '"';
                ++at;
            } else if (c == '"') {
                ++at;
                return out;
            } else {
                out += c;
            }
        }
        return out;  // the caller finds the end of the text next
    }

    const std::string& text;
    std::size_t at;
};

class Reader {
public:
    Reader(const std::string& text, EditorMap& map, Reporter& reporter) : lexer(text), map(map), reporter(reporter) {}

    bool Run();

private:
    bool Fail(const std::string& message) { return reporter.Fail(lexer.line, message); }
    bool Expect(const char* token, const char* what) {
        const std::string got = lexer.Next();
        if (got == token) return true;
        return Fail(std::string("expected '") + token + "' " + what +
                    (got.empty() ? " before the end of the file" : ", not '" + got + "'"));
    }
    bool Number(double& value);
    bool Point(Vec3& p);
    bool Entity();
    bool Brush(EditorEntity& entity);
    bool SkipBlock(const std::string& kind);
    bool Face(EditorBrush& brush, bool primitive);
    bool Placement(EditorFace& face);
    bool Faces(EditorBrush& brush, bool primitive);

    Lexer lexer;
    EditorMap& map;
    Reporter& reporter;
    std::map<std::string, int> skipped;  // blocks left out, by kind
};

bool Reader::Number(double& value) {
    bool quoted;
    const std::string token = lexer.Next(quoted);
    char* end = nullptr;
    errno = 0;
    value = std::strtod(token.c_str(), &end);
    if (quoted || token.empty() || *end != '\0' || errno == ERANGE || !std::isfinite(value))
        return Fail(token.empty() ? "a face ends early" : "'" + token + "' is not a number");
    return true;
}

bool Reader::Point(Vec3& p) {
    return Expect("(", "to open a face point") && Number(p.x) && Number(p.y) && Number(p.z) &&
           Expect(")", "to close a face point");
}

// ( x y z ) ( x y z ) ( x y z ) TEXTURE, then either X-OFFSET Y-OFFSET
// ROTATION X-SCALE Y-SCALE or [ UX UY UZ OFFSET ] [ VX VY VZ OFFSET ] ROTATION
// X-SCALE Y-SCALE, then any numbers a game adds (content and surface flags).
// A brush primitive's face has ( ( A B C ) ( D E F ) ) before the texture
// and only the numbers a game adds after it.
bool Reader::Face(EditorBrush& brush, bool primitive) {
    EditorFace face;
    for (Vec3& p : face.points)
        if (!Point(p)) return false;
    if (primitive) {
        face.primitive = true;
        if (!Expect("(", "to open the texture matrix")) return false;
        for (double* row : face.matrix)
            if (!Expect("(", "to open a texture matrix row") || !Number(row[0]) || !Number(row[1]) || !Number(row[2]) ||
                !Expect(")", "to close a texture matrix row"))
                return false;
        if (!Expect(")", "to close the texture matrix")) return false;
    }
    const char next = lexer.Peek();
    if (next == '\0' || next == '}' || next == '(') return Fail("a face has no texture name");
    face.texture = lexer.TextureName();
    if (!primitive && !Placement(face)) return false;
    for (char c = lexer.Peek(); c != '\0' && c != '(' && c != '}'; c = lexer.Peek()) {
        double ignored;
        if (!Number(ignored)) return false;
    }
    brush.faces.push_back(face);
    return true;
}

// The placement after a plain face's texture name, in either form.
bool Reader::Placement(EditorFace& face) {
    if (lexer.Peek() == '[') {
        face.valve = true;
        for (int axis = 0; axis < 2; ++axis) {
            Vec3& v = axis == 0 ? face.uAxis : face.vAxis;
            if (!Expect("[", "to open a texture axis") || !Number(v.x) || !Number(v.y) || !Number(v.z) ||
                !Number(face.offset[axis]) || !Expect("]", "to close a texture axis"))
                return false;
        }
    } else if (!Number(face.offset[0]) || !Number(face.offset[1])) {
        return false;
    }
    return Number(face.rotation) && Number(face.scale[0]) && Number(face.scale[1]);
}

// Skips to the brace that closes the brush, the opening one having been read.
bool Reader::SkipBlock(const std::string& kind) {
    ++skipped[kind];
    for (int depth = 1; depth > 0;) {
        bool quoted;
        const std::string token = lexer.Next(quoted);
        if (token.empty() && lexer.AtEnd()) return Fail("a '" + kind + "' block has no closing '}'");
        if (quoted) continue;
        if (token == "{") ++depth;
        if (token == "}") --depth;
    }
    return true;
}

bool Reader::Faces(EditorBrush& brush, bool primitive) {
    while (lexer.Peek() == '(')
        if (!Face(brush, primitive)) return false;
    return Expect("}", "to close the brush");
}

bool Reader::Brush(EditorEntity& entity) {
    EditorBrush brush;
    brush.line = lexer.line;
    const char first = lexer.Peek();
    if (first != '(' && first != '}') {
        const std::string kind = lexer.Next();
        if (kind.empty()) return Fail("a brush has no closing '}'");
        if (kind != "brushDef") return SkipBlock(kind);
        if (!Expect("{", "to open the brush primitive") || !Faces(brush, true) ||
            !Expect("}", "to close the brush primitive"))
            return false;
    } else if (!Faces(brush, false)) {
        return false;
    }
    if (!brush.faces.empty()) entity.brushes.push_back(std::move(brush));
    return true;
}

bool Reader::Entity() {
    EditorEntity entity;
    entity.line = lexer.line;
    for (;;) {
        const char c = lexer.Peek();
        if (c == '"') {
            bool quoted;
            std::string key = lexer.Next(quoted);
            if (lexer.Peek() != '"') return Fail("the key \"" + key + "\" has no quoted value");
            std::string value = lexer.Next(quoted);
            entity.keys.emplace_back(std::move(key), std::move(value));
        } else if (c == '{') {
            lexer.Next();
            if (!Brush(entity)) return false;
        } else if (c == '}') {
            lexer.Next();
            map.entities.push_back(std::move(entity));
            return true;
        } else if (c == '\0') {
            return Fail("the entity that starts at line " + std::to_string(entity.line) + " has no closing '}'");
        } else {
            return Fail("unexpected '" + lexer.Next() + "' in an entity (expected a quoted key, '{' or '}')");
        }
    }
}

bool Reader::Run() {
    while (!lexer.AtEnd()) {
        const std::string token = lexer.Next();
        if (token == "Version") {  // some editors' first line: "Version 2"
            double ignored;
            if (!Number(ignored)) return false;
            continue;
        }
        if (token != "{") return Fail("expected '{' to open an entity, not '" + token + "'");
        if (!Entity()) return false;
    }
    for (const auto& [kind, count] : skipped)
        reporter.Warn("left out " + Counted(count, "'" + kind + "' block", "'" + kind + "' blocks") +
                      " (only brushes of face planes are read)");
    return true;
}

}  // namespace

std::string EditorEntity::Value(const std::string& key) const {
    for (const auto& [k, v] : keys)
        if (k == key) return v;
    return "";
}

bool EditorEntity::Has(const std::string& key) const {
    for (const auto& pair : keys)
        if (pair.first == key) return true;
    return false;
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string BaseName(const std::string& path) { return path.substr(path.find_last_of("/\\") + 1); }

bool Numbers(const std::string& value, double* out, int count) {
    std::istringstream in(value);
    for (int i = 0; i < count; ++i)
        if (!(in >> out[i]) || !std::isfinite(out[i])) return false;
    return true;
}

std::vector<double> AllNumbers(const std::string& value) {
    std::istringstream in(value);
    std::vector<double> out;
    for (double v; in >> v && std::isfinite(v);) out.push_back(v);
    return out;
}

bool LooksLikeEditorMap(const std::string& text) {
    Lexer lexer(text);
    return lexer.Peek() == '{' || lexer.Next() == "Version";
}

bool ReadEditorMap(const std::string& text, EditorMap& map, Reporter& reporter) {
    map = EditorMap{};
    return Reader(text, map, reporter).Run();
}

}  // namespace orvcompile
