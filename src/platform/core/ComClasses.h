// The classes CoCreateInstance makes. COM knows none of them itself: the room
// that provides them fills the table (platform/music/ComClasses.cpp). Com.cpp
// calls ComClasses(), so the table is linked in with COM wherever COM is used.
#pragma once

#include <span>

#include "platform/core/Types.h"

struct ComClass {
    const GUID* clsid;
    const char* name;  // as the seam records it
    // A new object's `iid` interface into `object`, or a failure with nothing made.
    HRESULT (*create)(const GUID& iid, void** object);
};

std::span<const ComClass> ComClasses();
