#include "compiler/Reporter.h"

#include <utility>

namespace orvcompile {

namespace {

std::string AtLine(const std::string& fileName, int line) { return fileName + ":" + std::to_string(line) + ": "; }

}  // namespace

Reporter::Reporter(std::string fileName, std::function<void(const std::string&)> onWarning)
    : fileName(std::move(fileName)), onWarning(std::move(onWarning)) {}

void Reporter::Warn(const std::string& text) { WarnAsIs(fileName + ": " + text); }

void Reporter::Warn(int line, const std::string& text) { WarnAsIs(AtLine(fileName, line) + text); }

void Reporter::WarnAsIs(const std::string& text) {
    warnings.push_back(text);
    if (onWarning) onWarning(text);
}

bool Reporter::Fail(const std::string& text) { return FailAsIs(fileName + ": " + text); }

bool Reporter::Fail(int line, const std::string& text) { return FailAsIs(AtLine(fileName, line) + text); }

bool Reporter::FailAsIs(const std::string& text) {
    if (error.empty()) error = text;
    return false;
}

void Reporter::Restate(const std::string& text) { error = fileName + ": " + text; }

std::string Counted(long count, const std::string& one, const std::string& many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace orvcompile
