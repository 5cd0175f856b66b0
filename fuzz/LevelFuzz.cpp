// The level reader, and the solid-space query walking whatever tree it accepted.
#include "FuzzInput.h"
#include "level/Bsp.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Bsp bsp;
    std::vector<BspNode*> nodes;
    if (!bsp.ReadTree(fuzz::WriteInput(data, size), nodes)) return 0;
    bsp.IsPointSolid(0, 0, 0);
    bsp.IsPointSolid(-100, 24, 512);
    bsp.FreeTree(&bsp.root);
    return 0;
}
