#include "platform/ShmPresent.h"

#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

namespace display {

struct ShmPresent::Connection {
    Display* display = nullptr;
    Window window = 0;
    Visual* visual = nullptr;
    int depth = 0;
    GC gc = nullptr;
    XImage* image = nullptr;
    XShmSegmentInfo segment{};
};

namespace {

bool g_AttachFailed = false;

int NoteAttachFailure(Display*, XErrorEvent*) {
    g_AttachFailed = true;
    return 0;
}

void DropImage(Display* display, XImage*& image, XShmSegmentInfo& segment) {
    if (!image) return;
    XShmDetach(display, &segment);
    XSync(display, False);
    shmdt(segment.shmaddr);
    image->data = nullptr;  // the segment's, not Xlib's to free
    XDestroyImage(image);
    image = nullptr;
    segment = {};
}

}  // namespace

ShmPresent::ShmPresent() = default;
// Not Close: an open one is only destroyed at the program's exit, when the X
// connection may be gone already. The server lets go of the segment (marked
// for removal when attached) as the connection ends.
ShmPresent::~ShmPresent() = default;

bool ShmPresent::Open(SDL_Window* window) {
    Close();
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return false;
    Display* display = info.info.x11.display;
    if (!XShmQueryExtension(display)) return false;
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, info.info.x11.window, &attributes)) return false;
    const Visual* visual = attributes.visual;
    // The image's pixels are 0x00RRGGBB words in little-endian order. GL's
    // visual may be DirectColor: its swaps put the same pixel values there.
    if (attributes.depth != 24 || (visual->c_class != TrueColor && visual->c_class != DirectColor) ||
        visual->red_mask != 0xff0000 ||
        visual->green_mask != 0xff00 || visual->blue_mask != 0xff)
        return false;
    connection = std::make_unique<Connection>();
    connection->display = display;
    connection->window = info.info.x11.window;
    connection->visual = attributes.visual;
    connection->depth = attributes.depth;
    connection->gc = XCreateGC(display, connection->window, 0, nullptr);
    // A server that cannot reach our memory (another machine) refuses the
    // first segment: try one now rather than fail while presenting.
    if (!Image(64, 64)) {
        Close();
        return false;
    }
    return true;
}

void ShmPresent::Close() {
    if (!connection) return;
    DropImage(connection->display, connection->image, connection->segment);
    XFreeGC(connection->display, connection->gc);
    connection.reset();
}

std::uint8_t* ShmPresent::Image(int width, int height) {
    if (!connection || width <= 0 || height <= 0) return nullptr;
    Connection& c = *connection;
    if (c.image && c.image->width == width && c.image->height == height)
        return reinterpret_cast<std::uint8_t*>(c.image->data);
    DropImage(c.display, c.image, c.segment);
    XImage* image = XShmCreateImage(c.display, c.visual, static_cast<unsigned>(c.depth), ZPixmap, nullptr,
                                    &c.segment, static_cast<unsigned>(width), static_cast<unsigned>(height));
    if (!image) return nullptr;
    if (image->bits_per_pixel != 32 || image->byte_order != LSBFirst) {
        XDestroyImage(image);
        return nullptr;
    }
    // A new segment is zero-filled: the bars are black from the start.
    c.segment.shmid = shmget(IPC_PRIVATE, static_cast<std::size_t>(image->bytes_per_line) * height, IPC_CREAT | 0600);
    if (c.segment.shmid < 0) {
        XDestroyImage(image);
        return nullptr;
    }
    c.segment.shmaddr = image->data = static_cast<char*>(shmat(c.segment.shmid, nullptr, 0));
    c.segment.readOnly = True;
    bool attached = c.segment.shmaddr != reinterpret_cast<char*>(-1);
    if (attached) {
        XSync(c.display, False);
        g_AttachFailed = false;
        auto previous = XSetErrorHandler(NoteAttachFailure);
        XShmAttach(c.display, &c.segment);
        XSync(c.display, False);
        XSetErrorHandler(previous);
        attached = !g_AttachFailed;
        if (!attached) shmdt(c.segment.shmaddr);
    }
    // Marked for removal now: it goes when both sides have let go, even if we crash.
    shmctl(c.segment.shmid, IPC_RMID, nullptr);
    if (!attached) {
        image->data = nullptr;
        XDestroyImage(image);
        c.segment = {};
        return nullptr;
    }
    c.image = image;
    return reinterpret_cast<std::uint8_t*>(image->data);
}

int ShmPresent::Stride() const { return connection && connection->image ? connection->image->bytes_per_line : 0; }

void ShmPresent::Put() {
    if (!connection || !connection->image) return;
    Connection& c = *connection;
    XShmPutImage(c.display, c.window, c.gc, c.image, 0, 0, 0, 0, static_cast<unsigned>(c.image->width),
                 static_cast<unsigned>(c.image->height), False);
    // The image may be written again only once the server has copied it.
    XSync(c.display, False);
}

}  // namespace display
