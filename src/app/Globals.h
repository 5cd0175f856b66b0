// The shell's globals. Objects with construction work are defined together in
// Globals.cpp so that their construction order is the one the engine relies on.
#pragma once

#include <cstdint>

#include "app/FrameTimer.h"
#include "platform/core/Types.h"

extern HWND g_Window;
extern FrameTimer g_FrameTimer;
extern class D3DRenderer g_D3DRenderer;
extern class OpenGLRenderer g_OpenGLRenderer;

extern std::int16_t g_SoundEnabled;
extern std::int16_t g_MusicEnabled;
extern std::int16_t g_InvertMouseY;

extern std::int16_t g_JumpSound;   // slot of "jump.wav", -1 when none is loaded
extern std::int16_t g_MusicTrack;  // track of "Test.mp3"
