// The BMP size reader every renderer shares.
#include "FuzzInput.h"
#include "render/Renderer.h"
#include "render/gl/OpenGLRenderer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static OpenGLRenderer renderer;  // any renderer: the reader is the base class's
    int width = 0;
    int height = 0;
    renderer.ReadImageSize(fuzz::WriteInput(data, size), &width, &height);
    return 0;
}
