// What the compiler's steps tell the user about one map file: warnings about
// what they leave out or change, which the compile goes on past, and the
// error that stops it. A message about a place in the map starts with the
// file's name and, when known, the line: "FILE:LINE: TEXT" or "FILE: TEXT".
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace orvcompile {

class Reporter {
public:
    // Each warning also goes to `onWarning` as it is made, when given:
    // orvtool prints it at once, before a long compile.
    explicit Reporter(std::string fileName, std::function<void(const std::string&)> onWarning = nullptr);

    // A warning about the map as a whole, or about one of its lines.
    void Warn(const std::string& text);
    void Warn(int line, const std::string& text);
    // A warning whose text names its own subject (an image file, the
    // lightmaps), as it stands.
    void WarnAsIs(const std::string& text);

    // The error, in the same three forms. Only the first is kept: a reader
    // that fails deep inside fails again on each way back out. Return false,
    // for `return reporter.Fail(...)`.
    bool Fail(const std::string& text);
    bool Fail(int line, const std::string& text);
    bool FailAsIs(const std::string& text);
    // Replaces the error with the same fault told in other terms, about the
    // map as a whole: an editor map's leak in the editor's coordinates.
    void Restate(const std::string& text);

    const std::vector<std::string>& Warnings() const { return warnings; }
    const std::string& Error() const { return error; }

private:
    std::string fileName;
    std::function<void(const std::string&)> onWarning;
    std::vector<std::string> warnings;
    std::string error;
};

// The count and the noun in its number: "1 brush", "2 brushes".
std::string Counted(long count, const std::string& one, const std::string& many);

}  // namespace orvcompile
