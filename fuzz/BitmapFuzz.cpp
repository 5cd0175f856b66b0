// The bitmap stand-in's loader, which the Direct3D-style renderer loads its
// images through.
#include "FuzzInput.h"
#include "platform/graphics/Gdi.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    HGDIOBJ bitmap = LoadImageA(nullptr, fuzz::WriteInput(data, size), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE);
    if (bitmap) DeleteObject(bitmap);
    return 0;
}
