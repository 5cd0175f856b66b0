// The level: a binary space partition tree of lightmapped, textured triangles
// read from a text file, with the point-in-solid query, the binding of its
// textures and lightmaps and the far-to-near drawing.
#pragma once

#include <cstdint>
#include <vector>

#include "level/Portals.h"
#include "level/ViewVolume.h"
#include "math/Vector.h"
#include "render/Renderer.h"

// One record type for internal nodes and leaves.
struct BspNode {
    std::uint8_t isLeaf = 0;
    BspNode* parent = nullptr;      // the node naming this one as a child; none for the root
    BspNode* front = nullptr;       // internal: the side the plane's normal points to, the plane included
    BspNode* back = nullptr;        // internal: the other side
    Polygon plane;                  // internal: the splitting triangle (positions and normal only)
    std::uint8_t isSolid = 0;       // leaf: 1 = solid space, without polygons
    std::int32_t polygonCount = 0;  // empty leaf
    Polygon* polygons = nullptr;    // empty leaf: polygonCount records

    // Made by ReadTree, for leaving out what lies outside the view: the bounds
    // of the subtree's polygons (all space until then, so that a tree made
    // otherwise is never left out), and where its polygons' planes lie in
    // Bsp::planes, [firstPlane, endPlane).
    Box bounds = kAllSpace;
    std::int32_t firstPlane = 0, endPlane = 0;

    // Made by ReadTree for leaving out what the camera cannot see from its
    // leaf (level/Portals.h): the node's place in Bsp::portals.nodes, and a
    // leaf's in Bsp::portals.leaves.
    std::uint32_t floodNode = 0, floodLeaf = 0;
};

// A polygon's plane as the facing rule takes it: its first vertex and normal.
struct PolygonPlane {
    Vector v0;
    Vector normal;
};

class Bsp {
public:
    BspNode* root = nullptr;  // none until a successful load

    // Every polygon's plane, subtree by subtree (BspNode::firstPlane): counting
    // the polygons of a subtree left out of the drawing that face the camera
    // reads this array instead of the tree.
    std::vector<PolygonPlane> planes;

    // The portals between the empty leaves, made by ReadTree.
    LevelPortals portals;

    // Whether Draw leaves out what the camera cannot see: the subtrees
    // outside the view volume and those the portals show no way into. The
    // tests turn it off to compare the pictures.
    bool cullUnseen = true;

    // Reads the level file into the tree, then binds its surfaces through
    // g_pRenderer. False, with nothing kept and the file closed, when the file
    // cannot be opened or is not a well-formed level (see ReadTree). A tree
    // loaded before is replaced, not freed: free it first.
    bool Load(const char* fileName);

    // Load without the surface binding, so it needs no renderer. On success
    // `nodes` lists the tree's nodes in file order and root is set. The file
    // must be "NBSP", version 2, a free word of at most 64 characters, then N
    // >= 1 node records that form one tree; counts the rest of the file could
    // not hold, child indices outside 0..N-1, a node named twice, cycles,
    // more than one unnamed node, negative polygon counts, malformed or
    // missing tokens and image names over 31 characters all fail the read.
    bool ReadTree(const char* fileName, std::vector<BspNode*>& nodes);

    // Frees the node held in `link` with its whole subtree, releasing and
    // freeing each polygon's own texture record (never g_pBlankTexture), and
    // empties the link.
    void FreeTree(BspNode** link);

    // True when the point lies in a solid leaf; false without a tree.
    bool IsPointSolid(float x, float y, float z);

    // Rebuilds the renderer's lightmap table, (re)makes g_pBlankTexture from
    // "lmblank.bmp" and binds every polygon of the tree. Always true.
    bool BindSurfaces();

    // Binds the polygons of the subtree held in `link`, front subtrees before
    // back ones, polygons in array order. False only when `link` holds a leaf
    // that met a 33rd lightmap name in a full table.
    bool BindNodeSurfaces(BspNode** link);

    // Hands every polygon of the subtree held in `link` that faces the camera
    // (g_Player.position) to g_pRenderer->DrawPolygon, far to near, counting
    // each in g_PolygonsRendered. Unless cullUnseen is off, subtrees whose
    // bounds `view` excludes, and those without a leaf that the flood from the
    // camera's leaf through the portals in view reaches, are not handed over,
    // nor are the polygons of a reached leaf that lie outside the part of the
    // picture it is seen in, as nothing of them could reach the picture; their
    // polygons that face the camera are still counted. The default volume
    // holds all space.
    void Draw(BspNode** link, const ViewVolume& view = {});
};
