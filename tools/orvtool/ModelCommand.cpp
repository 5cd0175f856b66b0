// orvtool model: shows what the engine's model loader makes of a model file.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "model/Model.h"
#include "orvtool/Commands.h"
#include "orvtool/InputFile.h"
#include "platform/core/Files.h"

namespace {

void PrintPart(const ModelPart& part, int depth) {
    std::printf("%*s%s: %d polygons, translation (%g, %g, %g), rotation (%g, %g, %g)\n", 2 * depth, "", part.name,
                static_cast<int>(part.polygonCount), part.translation[0], part.translation[1], part.translation[2],
                part.rotation[0], part.rotation[1], part.rotation[2]);
}

// The parts as a tree: each root part in file order, each part's children
// under it, indented two spaces per level, in file order. Walked with a stack
// of its own, so a deep hierarchy cannot exhaust the call stack.
void PrintTree(const Model& model) {
    std::vector<std::vector<std::int32_t>> children(model.partCount);
    std::vector<std::int32_t> roots;
    std::unordered_map<const ModelPart*, std::int32_t> indexOf;
    for (std::int32_t i = 0; i < model.partCount; ++i) indexOf.emplace(model.parts[i], i);
    for (std::int32_t i = 0; i < model.partCount; ++i) {
        const ModelPart* parent = model.parts[i]->parent;
        if (parent)
            children[indexOf.at(parent)].push_back(i);
        else
            roots.push_back(i);
    }
    std::vector<std::pair<std::int32_t, int>> pending;  // part and depth, next on top
    for (auto root = roots.rbegin(); root != roots.rend(); ++root) pending.emplace_back(*root, 0);
    while (!pending.empty()) {
        auto [i, depth] = pending.back();
        pending.pop_back();
        PrintPart(*model.parts[i], depth);
        for (auto child = children[i].rbegin(); child != children[i].rend(); ++child)
            pending.emplace_back(*child, depth + 1);
    }
}

int Info(const std::string& fileName) {
    const InputFile input(fileName);
    if (input.Path().empty()) return Fail(input.Error());
    // Opened as the engine opens it, only to tell a missing file from a bad one.
    FILE* file = OpenFile(input.Path().c_str(), "r");
    if (!file) return Fail("cannot open '" + fileName + "': " + std::strerror(errno));
    CloseFile(file);
    Model model;
    if (!model.Load(input.Path().c_str())) return Fail("'" + fileName + "' is not a valid model file (NMDL version 1)");
    std::printf("parts: %d\n", static_cast<int>(model.partCount));
    PrintTree(model);
    if (std::fflush(stdout) != 0) return Fail("cannot write the listing");
    return 0;
}

}  // namespace

int ModelCommand(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 2 && args[0] == "info") return Info(args[1]);
    return UsageError("model");
}
