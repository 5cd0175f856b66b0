// The level reader, and on whatever tree it accepted what the engine runs on
// a loaded level: the surface binding, the solid-space query and the
// far-to-near walk, with a renderer that draws nothing.
#include "FuzzInput.h"
#include "globals/Globals.h"
#include "level/Bsp.h"
#include "player/Player.h"
#include "support/stand-ins/RecordingRenderer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    RecordingRenderer renderer;
    g_pRenderer = &renderer;
    Bsp bsp;
    if (bsp.Load(fuzz::WriteInput(data, size))) {  // reads the tree, then binds its surfaces
        bsp.IsPointSolid(0, 0, 0);
        bsp.IsPointSolid(-100, 24, 512);
        for (Vector eye : {Vector{0, 5, 0}, Vector{-100, 24, 512}}) {
            g_Player.position = eye;
            bsp.Draw(&bsp.root);
        }
        bsp.FreeTree(&bsp.root);
        // What the renderer's shut-down would let go of.
        delete renderer.lightmapTable;
        delete g_pBlankTexture;
        g_pBlankTexture = nullptr;
    }
    g_pRenderer = nullptr;
    return 0;
}
