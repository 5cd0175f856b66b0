// The classes CoCreateInstance makes, each provided by its stand-in: a new
// object's `iid` interface into `object`, or a failure with nothing made.
#pragma once

#include "platform/core/Types.h"

HRESULT CreateFilterGraph(const GUID& iid, void** object);
HRESULT CreateDirectMusicPerformance(const GUID& iid, void** object);
HRESULT CreateDirectMusicLoader(const GUID& iid, void** object);
