// The classes of the media stand-ins, as CoCreateInstance makes them.
#include "platform/core/ComClasses.h"

#include "platform/music/DirectMusic.h"
#include "platform/music/DirectShow.h"

namespace {

const ComClass kClasses[] = {
    {&CLSID_FilterGraph, "FilterGraph", CreateFilterGraph},
    {&CLSID_DirectMusicPerformance, "DirectMusicPerformance", CreateDirectMusicPerformance},
    {&CLSID_DirectMusicLoader, "DirectMusicLoader", CreateDirectMusicLoader},
};

}  // namespace

std::span<const ComClass> ComClasses() { return kClasses; }
