// Binding the level's polygons to texture records and lightmap table entries,
// each image loaded with the renderer's texture-from-file protocol.
#include <cstdio>
#include <cstring>

#include "globals/Globals.h"
#include "level/Bsp.h"
#include "level/BspWalk.h"

namespace {

// A 31-character name, ".bmp" and the NUL.
using ImageFileName = char[sizeof(Polygon::textureName) + 4];

void MakeImageFileName(ImageFileName& file, const char* name) { std::snprintf(file, sizeof file, "%s.bmp", name); }

// The texture-from-file protocol after ReadImageSize has given the size.
void CreateAndLoad(Texture* texture, const char* file, int width, int height) {
    g_pRenderer->CreateTexture(texture, width, height, 0);
    g_pRenderer->LoadTexture(texture, file, width, height);
}

// A textured polygon gets a record of its own, even when others name the same
// image; without a readable image it is drawn untextured, with the blank.
void BindTexture(Polygon& polygon) {
    if (polygon.textured) {
        ImageFileName file;
        MakeImageFileName(file, polygon.textureName);
        int width = 0, height = 0;
        if (g_pRenderer->ReadImageSize(file, &width, &height)) {
            if (!polygon.texture) polygon.texture = new Texture;
            CreateAndLoad(polygon.texture, file, width, height);
            return;
        }
        polygon.textured = 0;
    }
    polygon.texture = g_pBlankTexture;
}

// Takes the free entry j for the polygon's lightmap. An unreadable image
// frees the entry again, so the entries in use stay one run from entry 0,
// and leaves the polygon's index as it was.
void TakeEntry(Texture& entry, std::int32_t j, Polygon& polygon) {
    entry.inUse = 1;
    std::memcpy(entry.name, polygon.lightmapName, sizeof entry.name);
    ImageFileName file;
    MakeImageFileName(file, entry.name);
    int width = 0, height = 0;
    if (g_pRenderer->ReadImageSize(file, &width, &height)) {
        CreateAndLoad(&entry, file, width, height);
        polygon.lightmapIndex = j;
        return;
    }
    entry.inUse = 0;
    entry.name[0] = '\0';
}

// Polygons with one lightmap name share its entry; names are compared
// case-sensitively. False when all 32 entries hold other names.
bool BindLightmap(Polygon& polygon) {
    Texture* entries = g_pRenderer->lightmapTable->entries;
    for (std::int32_t j = 0; j < kLightmapCount; ++j) {
        if (std::strcmp(entries[j].name, polygon.lightmapName) == 0) {
            polygon.lightmapIndex = j;
            return true;
        }
        if (!entries[j].inUse) {
            TakeEntry(entries[j], j, polygon);
            return true;
        }
    }
    return false;
}

// False when a full table stops the leaf. The polygons after the one that
// found no entry stay unbound: they get the blank texture (the renderers need
// a texture record) and keep lightmap index 0.
bool BindLeafSurfaces(BspNode& leaf) {
    for (std::int32_t i = 0; i < leaf.polygonCount; ++i) {
        BindTexture(leaf.polygons[i]);
        if (!BindLightmap(leaf.polygons[i])) {
            for (std::int32_t rest = i + 1; rest < leaf.polygonCount; ++rest)
                leaf.polygons[rest].texture = g_pBlankTexture;
            return false;
        }
    }
    return true;
}

}  // namespace

bool Bsp::BindSurfaces() {
    Renderer& renderer = *g_pRenderer;
    if (renderer.lightmapTable) {
        for (Texture& entry : renderer.lightmapTable->entries) renderer.ReleaseTexture(&entry);
        delete renderer.lightmapTable;
        renderer.lightmapTable = nullptr;
    }
    renderer.lightmapTable = new LightmapTable{};

    int width = 0, height = 0;
    const bool blankReadable = renderer.ReadImageSize("lmblank.bmp", &width, &height);
    if (g_pBlankTexture)
        renderer.ReleaseTexture(g_pBlankTexture);
    else
        g_pBlankTexture = new Texture;
    if (blankReadable) {
        CreateAndLoad(g_pBlankTexture, "lmblank.bmp", width, height);
    } else {
        // Without the image there is no size to create a handle with: the
        // record stays without one (released handles cleared), and the
        // renderers draw that stage untextured.
        *g_pBlankTexture = Texture{};
    }

    BindNodeSurfaces(&root);
    return true;
}

bool Bsp::BindNodeSurfaces(BspNode** link) {
    BspNode* top = *link;
    if (!top) return true;
    if (top->isLeaf) return top->isSolid || BindLeafSurfaces(*top);
    // A full table stops only its own leaf; the leaves after it still bind.
    WalkSubtree(
        top, [](const BspNode* node) { return node->front; },
        [](BspNode* node) {
            if (node->isLeaf && !node->isSolid) BindLeafSurfaces(*node);
        });
    return true;
}
