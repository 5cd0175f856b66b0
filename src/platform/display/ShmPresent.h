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

    // The window's image to fill: `width` by `height` pixels, `Stride()`
    // bytes a row, each pixel the bytes blue, green, red, 0; black when it is
    // new (a new size makes new ones). It is one of two taken in turn, so it
    // holds the image before last. Null when no image can be had.
    std::uint8_t* Image(int width, int height);
    int Stride() const;

    // Shows the whole image in the window, in one request, without waiting
    // for the server's copy; the next Image is the other one.
    void Put();

private:
    struct Connection;
    std::unique_ptr<Connection> connection;
};
