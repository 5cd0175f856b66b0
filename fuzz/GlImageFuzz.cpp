// The OpenGL renderer's BMP loader, given the size the engine reads first.
#include <memory>

#include "FuzzInput.h"
#include "render/gl/OpenGLRenderer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static OpenGLRenderer renderer;
    const char* file = fuzz::WriteInput(data, size);
    int width = 0;
    int height = 0;
    if (!renderer.ReadImageSize(file, &width, &height)) return 0;
    Image image;
    renderer.LoadImageFile(&image, file, width, height);
    std::unique_ptr<std::uint8_t[]> pixels(image.pixels);
    return 0;
}
