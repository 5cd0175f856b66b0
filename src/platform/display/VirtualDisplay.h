// The engine's "640 by 480, 16 bits per pixel" full-screen mode, as a virtual
// display: an off-screen 640x480 RGB565 colour buffer with a depth buffer (16
// bits until a z-buffer of another format is attached) in the window's GL
// context. Presenting scales it into the desktop-sized window keeping 4:3,
// with black bars, so the monitor's real mode never changes. Presents are
// paced to the display's refresh: vsync where the driver gives it, and never
// more than 60 a second in any case, because the engine counts all movement
// per frame.
#pragma once

#include <SDL.h>

#include <chrono>
#include <cstdint>
#include <vector>

constexpr int kDisplayWidth = 640;
constexpr int kDisplayHeight = 480;

// Whether the engine has switched to the full-screen mode. The off-screen
// buffer exists only while it is selected and a context is attached.
void SelectVirtualDisplay(bool selected);
bool VirtualDisplaySelected();

// Called with `window`'s GL context current: makes the off-screen buffer and
// directs drawing into it. False when the context cannot hold one.
bool AttachVirtualDisplay(SDL_Window* window);

// Drops the off-screen buffer; the context it was made in must be current.
void DetachVirtualDisplay();

// Gives the picture a depth buffer of `depthBits` (16, 24 or 32) with
// `stencilBits` (0, or 8 with 24 depth bits) in place of the one it has.
// False, leaving the buffer as it was, for any other format.
bool SetVirtualDisplayDepth(int depthBits, int stencilBits);

// Makes the window's image from the picture: scaled to fit with 4:3 kept,
// black bars around it. Through GL into the window's back buffer, the bars
// cleared black (leaving the window's framebuffer bound); or, under a software
// rasteriser on X11, on the processor into an image in memory shared with the
// X server, where only the picture's rectangle is written and the bars stay
// the black the image was made with. The first is free on a graphics card;
// under a software rasteriser the second costs a fraction of it.
void ComposeWindowImage();
// Whether the window's image is made on the processor.
bool WindowImageMadeOnProcessor();

// Shows the composed image (swaps, or has the X server copy the shared image
// in) and directs drawing to the picture again.
void ShowWindowImage();

// Shows the picture: composes, shows and, while paced, waits for the next refresh.
void PresentVirtualDisplay();

// Whether presents wait for the refresh (vsync where the driver gives it, at
// most 60 a second in any case; see RefreshSchedule). Paced from the start;
// only the benchmarks switch it off, to measure what a frame itself costs.
// The engine never does.
enum class PresentPacing { Refresh, None };
void SetPresentPacing(PresentPacing pacing);

// The pacing's clock: a present waits for its slot, one 60th of a second
// after the last. A present that comes a little late (by less than a period)
// keeps to the slots, so frames that take a little over a 60th of a second
// come as often as they can and on average no frame is lost to the pacing;
// one that comes a whole period or more late starts the slots afresh.
class RefreshSchedule {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr Clock::duration kPeriod = std::chrono::nanoseconds(1'000'000'000 / 60);

    // When a present made at `now` may show: `now` itself, or a later slot
    // to sleep until.
    Clock::time_point Next(Clock::time_point now);

private:
    Clock::time_point slot{};
};

// The picture as RGB bytes, rows from the top; empty when there is none.
std::vector<std::uint8_t> ReadDisplayPixels();

// Where the picture lands in a window of the given drawable size.
SDL_Rect PictureRectInWindow(int windowWidth, int windowHeight);
