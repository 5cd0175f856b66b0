// orvtool level: looks into level files through the engine's own reader and
// traversal, without a renderer: the tree is read but no surface is bound, so
// neither a display nor the image files are needed. `level info --pack PACK`
// also says of every image the level loads (the blank lightmap, its lightmap
// pages and textures) which pack entry the engine unpacks it from and
// whether PACK holds that entry.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "level/Bsp.h"
#include "level/BspWalk.h"
#include "orvtool/Commands.h"
#include "orvtool/InputFile.h"
#include "pack/ExtraAssets.h"
#include "pack/Pack.h"

namespace {

bool ParseCoordinate(const char* text, float& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtof(text, &end);
    return end != text && *end == '\0' && errno != ERANGE && std::isfinite(value);
}

// Names in the order first met, each once.
void AddName(std::vector<std::string>& names, const char* name) {
    for (const std::string& known : names)
        if (known == name) return;
    names.emplace_back(name);
}

// One line per image: "image FILE ENTRY held|missing". A pack the engine
// would refuse (pack/ExtraAssets.h) holds none of them, and a line first says
// why: "unplayable: WHY".
bool PrintImages(const std::string& packPath, const std::vector<std::string>& lightmaps,
                 const std::vector<std::string>& textures, std::string& error) {
    const InputFile file(packPath);
    FILE* pack = file.Path().empty() ? nullptr : OpenPack(file.Path().c_str());
    if (!pack) {
        error = file.Path().empty() ? file.Error() : "cannot read pack '" + packPath + "': it is missing or malformed";
        return false;
    }
    std::vector<ExtraAsset> extras;
    std::string refused;
    if (!FindExtraAssets(extras, refused)) std::printf("unplayable: %s\n", refused.c_str());
    auto print = [&](const std::string& name, bool lightmap) {
        const std::string entry = ImageEntry(name, lightmap);
        const bool held = refused.empty() && FindPackEntry(entry.c_str());
        std::printf("image %s.bmp %s %s\n", name.c_str(), entry.c_str(), held ? "held" : "missing");
    };
    print("lmblank", true);
    for (const std::string& name : lightmaps) print(name, true);
    for (const std::string& name : textures) print(name, false);
    ClosePack(pack);
    return true;
}

void PrintNames(const char* label, const std::vector<std::string>& names) {
    std::printf("%s", label);
    for (const std::string& name : names) std::printf(" %s", name.c_str());
    std::printf("\n");
}

// Counts, the depth (nodes on the longest path from the root to a leaf) and
// the image names in binding order: front subtrees first, polygons in order;
// with a pack, the images' entries in it.
bool PrintInfo(const Bsp& level, const std::string& packPath, std::string& error) {
    long long nodes = 0, leaves = 0, solidLeaves = 0, polygons = 0, depth = 0;
    std::vector<std::string> lightmaps, textures;
    std::vector<std::pair<const BspNode*, long long>> pending = {{level.root, 1}};
    while (!pending.empty()) {
        const auto [node, nodeDepth] = pending.back();
        pending.pop_back();
        ++nodes;
        if (nodeDepth > depth) depth = nodeDepth;
        if (!node->isLeaf) {
            pending.emplace_back(node->back, nodeDepth + 1);
            pending.emplace_back(node->front, nodeDepth + 1);
            continue;
        }
        ++leaves;
        solidLeaves += node->isSolid;
        if (node->isSolid) continue;
        polygons += node->polygonCount;
        for (std::int32_t i = 0; i < node->polygonCount; ++i) {
            AddName(lightmaps, node->polygons[i].lightmapName);
            if (node->polygons[i].textured) AddName(textures, node->polygons[i].textureName);
        }
    }
    std::printf("nodes %lld\nleaves %lld\nsolid-leaves %lld\npolygons %lld\ndepth %lld\n", nodes, leaves, solidLeaves,
                polygons, depth);
    PrintNames("lightmaps", lightmaps);
    PrintNames("textures", textures);
    return packPath.empty() || PrintImages(packPath, lightmaps, textures, error);
}

// One line per polygon Draw would hand over from `camera`: the leaf's index
// in the file, then the polygon's index in that leaf.
void PrintOrder(const Bsp& level, const std::vector<BspNode*>& nodes, Vector camera) {
    std::unordered_map<const BspNode*, std::size_t> fileIndex;
    for (std::size_t i = 0; i < nodes.size(); ++i) fileIndex[nodes[i]] = i;
    ForEachPolygonFarToNear(level.root, camera, [&fileIndex](BspNode& leaf, std::int32_t index) {
        std::printf("%zu %d\n", fileIndex[&leaf], static_cast<int>(index));
    });
}

}  // namespace

int LevelCommand(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const bool info = (args.size() == 2 || (args.size() == 4 && args[2] == "--pack")) && args[0] == "info";
    const bool query = args.size() == 5 && (args[0] == "solid" || args[0] == "order");
    if (!info && !query) return UsageError("level");

    Vector point{};
    if (query &&
        !(ParseCoordinate(argv[3], point.x) && ParseCoordinate(argv[4], point.y) && ParseCoordinate(argv[5], point.z)))
        return Fail("the coordinates must be three finite numbers", 2);

    const InputFile file(args[1]);
    if (file.Path().empty()) return Fail(file.Error());
    Bsp level;
    std::vector<BspNode*> nodes;
    if (!level.ReadTree(file.Path().c_str(), nodes))
        return Fail("cannot read level '" + args[1] + "': it is missing or not a well-formed level");

    std::string error;
    bool done = true;
    if (info)
        done = PrintInfo(level, args.size() == 4 ? args[3] : "", error);
    else if (args[0] == "solid")
        std::printf("%s\n", level.IsPointSolid(point.x, point.y, point.z) ? "solid" : "empty");
    else
        PrintOrder(level, nodes, point);
    level.FreeTree(&level.root);  // no surfaces were bound: nothing for a renderer to release
    if (!done) return Fail(error);
    if (std::fflush(stdout) != 0) return Fail("cannot write the output");
    return 0;
}
