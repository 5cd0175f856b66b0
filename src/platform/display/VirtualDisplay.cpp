#include "platform/display/VirtualDisplay.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/core/Seam.h"
#include "platform/display/Gl.h"
#include "platform/display/PictureScaler.h"
#include "platform/display/ShmPresent.h"
#include "platform/window/WaylandWindow.h"

namespace {

struct State {
    bool selected = false;
    SDL_Window* window = nullptr;
    GlEntryPoints gl{};
    GLuint framebuffer = 0;
    GLuint colour = 0;
    GLuint depth = 0;
    RefreshSchedule schedule;
    PresentPacing pacing = PresentPacing::Refresh;
    bool swapIntervalSet = false;  // the context's swap interval follows `pacing`
    // Under a software rasteriser the window's image is made on the processor
    // and put into the window through shared memory (docs/PERFORMANCE.md).
    ShmPresent shm;
    bool throughShm = false;
    PictureScaler scaler;
    std::vector<std::uint16_t> picture;  // read back for the scaler
};

State state;

// Unbinds an off-screen buffer and deletes it with its renderbuffers.
void DeleteBuffers(const GlEntryPoints& gl, GLuint framebuffer, GLuint colour, GLuint depth) {
    gl.BindFramebuffer(GL_FRAMEBUFFER, 0);
    gl.DeleteFramebuffers(1, &framebuffer);
    gl.DeleteRenderbuffers(1, &colour);
    gl.DeleteRenderbuffers(1, &depth);
}

void WaitForRefresh() {
    const auto wakeAt = state.schedule.Next(std::chrono::steady_clock::now());
    std::this_thread::sleep_until(wakeAt);
}

}  // namespace

RefreshSchedule::Clock::time_point RefreshSchedule::Next(Clock::time_point now) {
    if (now < slot) {
        const Clock::time_point wakeAt = slot;
        slot += kPeriod;
        return wakeAt;
    }
    // A little late: the slot is kept, so one slow frame is made up by the
    // next quick one. A whole period or more behind: the schedule starts
    // afresh instead of rushing frames out to catch up.
    slot = now - slot < kPeriod ? slot + kPeriod : now + kPeriod;
    return now;
}

void SelectVirtualDisplay(bool selected) { state.selected = selected; }

void SetPresentPacing(PresentPacing pacing) {
    state.pacing = pacing;
    state.swapIntervalSet = false;
}

bool VirtualDisplaySelected() { return state.selected; }

bool AttachVirtualDisplay(SDL_Window* window) {
    DetachVirtualDisplay();
    GlEntryPoints gl{};
    if (!LoadGlEntryPoints(gl)) return false;
    GLuint framebuffer = 0, colour = 0, depth = 0;
    gl.GenFramebuffers(1, &framebuffer);
    gl.GenRenderbuffers(1, &colour);
    gl.GenRenderbuffers(1, &depth);
    gl.BindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    gl.BindRenderbuffer(GL_RENDERBUFFER, depth);
    gl.RenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT16, kDisplayWidth, kDisplayHeight);
    gl.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
    gl.BindRenderbuffer(GL_RENDERBUFFER, colour);
    // RGB565 where the driver has it; otherwise the nearest 16-bit format.
    for (GLenum format : {GLenum(GL_RGB565), GLenum(GL_RGB5)}) {
        gl.RenderbufferStorage(GL_RENDERBUFFER, format, kDisplayWidth, kDisplayHeight);
        gl.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
        if (gl.CheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE) {
            state.window = window;
            state.gl = gl;
            state.framebuffer = framebuffer;
            state.colour = colour;
            state.depth = depth;
            state.swapIntervalSet = false;  // a new context starts with vsync
            state.throughShm = SoftwareRasteriser() && !SeamArmed("ShmPresent.Open") && state.shm.Open(window);
            return true;
        }
    }
    DeleteBuffers(gl, framebuffer, colour, depth);
    return false;
}

void DetachVirtualDisplay() {
    if (!state.framebuffer) return;
    // Without a current context (its window went first) the GL objects went with it.
    if (SDL_GL_GetCurrentContext()) DeleteBuffers(state.gl, state.framebuffer, state.colour, state.depth);
    state.framebuffer = state.colour = state.depth = 0;
    state.window = nullptr;
    state.shm.Close();
    state.throughShm = false;
}

bool SetVirtualDisplayDepth(int depthBits, int stencilBits) {
    if (!state.framebuffer) return false;
    GLenum format = 0;
    if (stencilBits == 0 && depthBits == 16) format = GL_DEPTH_COMPONENT16;
    if (stencilBits == 0 && depthBits == 24) format = GL_DEPTH_COMPONENT24;
    if (stencilBits == 0 && depthBits == 32) format = GL_DEPTH_COMPONENT32;
    if (stencilBits == 8 && depthBits == 24) format = GL_DEPTH24_STENCIL8;
    if (!format) return false;
    auto& gl = state.gl;
    gl.BindFramebuffer(GL_FRAMEBUFFER, state.framebuffer);
    gl.BindRenderbuffer(GL_RENDERBUFFER, state.depth);
    gl.RenderbufferStorage(GL_RENDERBUFFER, format, kDisplayWidth, kDisplayHeight);
    gl.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, state.depth);
    gl.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_STENCIL_ATTACHMENT, GL_RENDERBUFFER, stencilBits ? state.depth : 0);
    if (gl.CheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE) return true;
    // Back to the format every context holds.
    gl.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_STENCIL_ATTACHMENT, GL_RENDERBUFFER, 0);
    gl.RenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT16, kDisplayWidth, kDisplayHeight);
    return false;
}

SDL_Rect PictureRectInWindow(int windowWidth, int windowHeight) {
    int width = windowWidth;
    int height = windowWidth * 3 / 4;
    if (height > windowHeight) {
        height = windowHeight;
        width = windowHeight * 4 / 3;
    }
    return {(windowWidth - width) / 2, (windowHeight - height) / 2, width, height};
}

namespace {

// The picture scaled into the shared window image, placed as GL would place
// it (GL's rows go up, the window's down); the bars stay as the image was
// made. False when no image of the window's size can be had.
bool ComposeShmImage(int windowWidth, int windowHeight) {
    std::uint8_t* image = state.shm.PrepareImage(windowWidth, windowHeight);
    if (!image) return false;
    const SDL_Rect picture = PictureRectInWindow(windowWidth, windowHeight);
    const int stride = state.shm.Stride();
    state.picture.resize(kDisplayWidth * kDisplayHeight);
    state.gl.BindFramebuffer(GL_FRAMEBUFFER, state.framebuffer);
    // Rows of 1280 bytes: any pack alignment the renderer left fits them.
    glReadPixels(0, 0, kDisplayWidth, kDisplayHeight, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, state.picture.data());
    const int top = windowHeight - picture.y - picture.h;
    state.scaler.Scale(state.picture.data(), picture.w, picture.h,
                       image + static_cast<std::ptrdiff_t>(top) * stride + picture.x * 4, stride);
    return true;
}

}  // namespace

bool WindowImageMadeOnProcessor() { return state.throughShm; }

void ComposeWindowImage() {
    if (!state.framebuffer) return;
    auto& gl = state.gl;
    int windowWidth = 0, windowHeight = 0;
    SDL_GL_GetDrawableSize(state.window, &windowWidth, &windowHeight);
    if (state.throughShm) {
        if (ComposeShmImage(windowWidth, windowHeight)) return;
        // Out of shared memory for a new size, say: GL composes from now on.
        state.shm.Close();
        state.throughShm = false;
    }
    SDL_Rect picture = PictureRectInWindow(windowWidth, windowHeight);

    gl.BindFramebuffer(GL_FRAMEBUFFER, 0);
    // The clear colour belongs to the renderer; borrow it for the bars only.
    GLfloat clearColour[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clearColour);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(clearColour[0], clearColour[1], clearColour[2], clearColour[3]);
    gl.BindFramebuffer(GL_READ_FRAMEBUFFER, state.framebuffer);
    gl.BlitFramebuffer(0, 0, kDisplayWidth, kDisplayHeight, picture.x, picture.y, picture.x + picture.w,
                       picture.y + picture.h, GL_COLOR_BUFFER_BIT, GL_LINEAR);
    gl.BindFramebuffer(GL_FRAMEBUFFER, 0);
}

void ShowWindowImage() {
    if (!state.framebuffer) return;
    if (state.throughShm) {
        state.shm.Put();
    } else {
        if (!state.swapIntervalSet) {
            // Paced: adaptive vsync where the driver has it, so that a frame
            // that misses a refresh shows at once instead of a whole refresh
            // later (which would halve the rate); plain vsync otherwise. Not
            // on Wayland: SDL waits there for the compositor's frame event in
            // a loop that spins for ever once the connection has failed, so
            // the display's own pacing is all.
            if (state.pacing == PresentPacing::None || WaylandDisplayOf(state.window))
                SDL_GL_SetSwapInterval(0);
            else if (SDL_GL_SetSwapInterval(-1) != 0)
                SDL_GL_SetSwapInterval(1);
            state.swapIntervalSet = true;
        }
        SDL_GL_SwapWindow(state.window);
    }
    state.gl.BindFramebuffer(GL_FRAMEBUFFER, state.framebuffer);
}

void PresentVirtualDisplay() {
    if (!state.framebuffer) return;
    ComposeWindowImage();
    ShowWindowImage();
    if (state.pacing == PresentPacing::Refresh) WaitForRefresh();
}

std::vector<std::uint8_t> ReadDisplayPixels() {
    if (!state.framebuffer) return {};
    state.gl.BindFramebuffer(GL_FRAMEBUFFER, state.framebuffer);
    std::vector<std::uint8_t> bottomUp(kDisplayWidth * kDisplayHeight * 3);
    // Rows of 1920 bytes: any pack alignment the renderer left fits them, so
    // its GL state stays as it was.
    glReadPixels(0, 0, kDisplayWidth, kDisplayHeight, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
    std::vector<std::uint8_t> topDown(bottomUp.size());
    const int row = kDisplayWidth * 3;
    for (int y = 0; y < kDisplayHeight; ++y)
        std::copy_n(&bottomUp[(kDisplayHeight - 1 - y) * row], row, &topDown[y * row]);
    return topDown;
}
