// What a device-context handle points to: a window's own context, a
// surface's context between its GetDC and ReleaseDC, or a memory context
// that holds a selected bitmap. Shared by the stand-ins that draw.
#pragma once

#include "platform/core/Types.h"

class SurfaceObject;
struct BitmapObject;

struct DeviceContextObject {
    HWND window = nullptr;             // a window's own context
    int pixelFormat = 0;               // 0 until SetPixelFormat
    SurfaceObject* surface = nullptr;  // a surface's context
    bool memory = false;               // made by CreateCompatibleDC
    BitmapObject* bitmap = nullptr;    // selected into a memory context
    COLORREF textColour = 0x000000;
    int backgroundMode = 2;  // OPAQUE until SetBkMode
};
