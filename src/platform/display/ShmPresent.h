// Puts the window's image into an X11 window through shared memory, without
// GL: the way a software rasteriser's picture reaches the screen most
// cheaply. Only where SDL's window is an X11 one on a server with MIT-SHM and
// a 24-bit true-colour visual; Open says whether it is usable.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <memory>

class ShmPresent {
public:
    ShmPresent();
    ~ShmPresent();
    ShmPresent(const ShmPresent&) = delete;
    ShmPresent& operator=(const ShmPresent&) = delete;

    // False (and nothing held) when the window cannot be shown this way.
    bool Open(SDL_Window* window);
    // While the window's X connection is still open.
    void Close();

    // Makes the window's next image ready to fill and returns it: `width` by
    // `height` pixels, `Stride()` bytes a row, each pixel the bytes blue,
    // green, red, 0. A new size makes new images (black); otherwise it is the
    // one of the two taken in turn that holds the image before last, waited
    // for should the server still be copying it. Null when no image can be had.
    std::uint8_t* PrepareImage(int width, int height);
    int Stride() const;

    // Shows the whole image in the window, in one request, without waiting
    // for the server's copy; the next PrepareImage gives the other one.
    void Put();

private:
    struct Connection;
    std::unique_ptr<Connection> connection;
};
