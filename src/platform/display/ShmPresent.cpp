#include "platform/display/ShmPresent.h"

#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include "platform/window/X11Window.h"

namespace {

// One window image in a segment shared with the server.
struct SharedImage {
    XImage* image = nullptr;
    XShmSegmentInfo segment{};
    unsigned long putRequest = 0;  // the request that last showed it; 0: none
};

}  // namespace

// Two images in turn: while the server copies the one just put, the next
// frame is composed into the other, so a present never waits for the copy.
struct ShmPresent::Connection {
    Display* display = nullptr;
    Window window = 0;
    Visual* visual = nullptr;
    int depth = 0;
    GC gc = nullptr;
    SharedImage images[2];
    int current = 0;  // the one to compose into
};

namespace {

bool attachFailed = false;

int NoteAttachFailure(Display*, XErrorEvent*) {
    attachFailed = true;
    return 0;
}

void Drop(Display* display, SharedImage& shared) {
    if (!shared.image) return;
    XShmDetach(display, &shared.segment);
    XSync(display, False);
    shmdt(shared.segment.shmaddr);
    shared.image->data = nullptr;  // the segment's, not Xlib's to free
    XDestroyImage(shared.image);
    shared = {};
}

bool Make(Display* display, Visual* visual, int depth, int width, int height, SharedImage& shared) {
    XImage* image = XShmCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, nullptr, &shared.segment,
                                    static_cast<unsigned>(width), static_cast<unsigned>(height));
    if (!image) return false;
    if (image->bits_per_pixel != 32 || image->byte_order != LSBFirst) {
        XDestroyImage(image);
        return false;
    }
    // A new segment is zero-filled: the bars are black from the start.
    XShmSegmentInfo& segment = shared.segment;
    segment.shmid = shmget(IPC_PRIVATE, static_cast<std::size_t>(image->bytes_per_line) * height, IPC_CREAT | 0600);
    if (segment.shmid < 0) {
        XDestroyImage(image);
        return false;
    }
    segment.shmaddr = image->data = static_cast<char*>(shmat(segment.shmid, nullptr, 0));
    segment.readOnly = True;
    bool attached = segment.shmaddr != reinterpret_cast<char*>(-1);
    if (attached) {
        // A server that cannot reach our memory (one on another machine) refuses it.
        XSync(display, False);
        attachFailed = false;
        auto previous = XSetErrorHandler(NoteAttachFailure);
        XShmAttach(display, &segment);
        XSync(display, False);
        XSetErrorHandler(previous);
        attached = !attachFailed;
        if (!attached) shmdt(segment.shmaddr);
    }
    // Marked for removal now: it goes when both sides have let go, even if we crash.
    shmctl(segment.shmid, IPC_RMID, nullptr);
    if (!attached) {
        image->data = nullptr;
        XDestroyImage(image);
        segment = {};
        return false;
    }
    shared.image = image;
    return true;
}

}  // namespace

ShmPresent::ShmPresent() = default;
// Not Close: an open one is only destroyed at the program's exit, when the X
// connection may be gone already. The server lets go of the segments (marked
// for removal when attached) as the connection ends.
ShmPresent::~ShmPresent() = default;

bool ShmPresent::Open(SDL_Window* window) {
    Close();
    const auto x11 = X11WindowOf(window);
    if (!x11 || !XShmQueryExtension(x11->display)) return false;
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(x11->display, x11->window, &attributes)) return false;
    const Visual* visual = attributes.visual;
    // The image's pixels are 0x00RRGGBB words in little-endian order. GL's
    // visual may be DirectColor: its swaps put the same pixel values there.
    if (attributes.depth != 24 || (visual->c_class != TrueColor && visual->c_class != DirectColor) ||
        visual->red_mask != 0xff0000 || visual->green_mask != 0xff00 || visual->blue_mask != 0xff)
        return false;
    connection = std::make_unique<Connection>();
    connection->display = x11->display;
    connection->window = x11->window;
    connection->visual = attributes.visual;
    connection->depth = attributes.depth;
    connection->gc = XCreateGC(connection->display, connection->window, 0, nullptr);
    // Try the images now rather than fail while presenting.
    if (!PrepareImage(64, 64)) {
        Close();
        return false;
    }
    return true;
}

void ShmPresent::Close() {
    if (!connection) return;
    for (SharedImage& shared : connection->images) Drop(connection->display, shared);
    XFreeGC(connection->display, connection->gc);
    connection.reset();
}

std::uint8_t* ShmPresent::PrepareImage(int width, int height) {
    if (!connection || width <= 0 || height <= 0) return nullptr;
    Connection& c = *connection;
    SharedImage& shared = c.images[c.current];
    if (!shared.image || shared.image->width != width || shared.image->height != height) {
        for (SharedImage& each : c.images) {
            Drop(c.display, each);
            if (!Make(c.display, c.visual, c.depth, width, height, each)) {
                for (SharedImage& made : c.images) Drop(c.display, made);
                return nullptr;
            }
        }
    } else if (shared.putRequest && LastKnownRequestProcessed(c.display) < shared.putRequest) {
        // Its copy may not be done. The put's completion event (or an error)
        // tells that it is, once read; a frame later it nearly always is.
        XEventsQueued(c.display, QueuedAfterReading);
        if (LastKnownRequestProcessed(c.display) < shared.putRequest) XSync(c.display, False);
    }
    return reinterpret_cast<std::uint8_t*>(shared.image->data);
}

int ShmPresent::Stride() const {
    if (!connection) return 0;
    const SharedImage& shared = connection->images[connection->current];
    return shared.image ? shared.image->bytes_per_line : 0;
}

void ShmPresent::Put() {
    if (!connection) return;
    Connection& c = *connection;
    SharedImage& shared = c.images[c.current];
    if (!shared.image) return;
    shared.putRequest = NextRequest(c.display);
    XShmPutImage(c.display, c.window, c.gc, shared.image, 0, 0, 0, 0, static_cast<unsigned>(shared.image->width),
                 static_cast<unsigned>(shared.image->height), True);
    XFlush(c.display);
    c.current ^= 1;
}
