#include "platform/window/WaylandWindow.h"

#include <SDL_syswm.h>
#include <wayland-client.h>

#include <cstring>

namespace {

void NoteGlobal(void* data, wl_registry*, uint32_t, const char* interface, uint32_t) {
    if (std::strcmp(interface, wl_seat_interface.name) == 0) *static_cast<bool*>(data) = true;
}

void IgnoreRemoval(void*, wl_registry*, uint32_t) {}

}  // namespace

bool CompositorOffersSeat() {
    wl_display* display = wl_display_connect(nullptr);
    if (!display) return true;
    bool seat = false;
    static const wl_registry_listener listener{NoteGlobal, IgnoreRemoval};
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &listener, &seat);
    const bool answered = wl_display_roundtrip(display) >= 0;
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return seat || !answered;
}

wl_display* WaylandDisplayOf(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_WAYLAND) return nullptr;
    return info.info.wl.display;
}
