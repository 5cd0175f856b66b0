// The globals the subsystems share: the window, the frame timer, the sound,
// music and mouse switches and the loaded jump sound and music track. They are
// defined in app/Globals.cpp, in the construction order the engine relies on.
#pragma once

#include <cstdint>

#include "render/FrameTimer.h"
#include "platform/core/Types.h"

extern HWND g_Window;
extern FrameTimer g_FrameTimer;

extern std::int16_t g_SoundEnabled;
extern std::int16_t g_MusicEnabled;
extern std::int16_t g_InvertMouseY;

extern std::int16_t g_JumpSound;   // slot of "jump.wav", -1 when none is loaded
extern std::int16_t g_MusicTrack;  // track of "Test.mp3"
