// The globals that more than one room uses, declared once, under the subsystem
// that owns them. All are defined in app/Globals.cpp: the objects with
// construction work in the order the engine relies on, every other global
// zero-filled. The types of the rooms above are only named here; a file that
// uses one includes its room's header too.
#pragma once

#include <cstdint>

#include "platform/core/Types.h"
#include "platform/input/DirectInput.h"

struct Audio;
class Bsp;
class D3DRenderer;
class Entity;
class FrameTimer;
class Input;
class MusicManager;
class OpenGLRenderer;
struct Player;
class Renderer;
class SoundManager;
struct Texture;

// Application shell: the window, the sound, music and mouse switches, and the
// loaded jump sound and music track.
extern HWND g_Window;
extern std::int16_t g_SoundEnabled;
extern std::int16_t g_MusicEnabled;
extern std::int16_t g_InvertMouseY;
extern std::int16_t g_JumpSound;   // slot of "jump.wav", -1 when none is loaded
extern std::int16_t g_MusicTrack;  // track of "Test.mp3"

// Level.
extern Bsp g_Bsp;

// Rendering: the renderer in use, the two renderers it can point at, the
// frame-rate counter's ticks, and what the level and the renderers share.
extern Renderer* g_pRenderer;
extern D3DRenderer g_D3DRenderer;
extern OpenGLRenderer g_OpenGLRenderer;
extern FrameTimer g_FrameTimer;
extern Texture* g_pBlankTexture;         // of every polygon without a texture of its own
extern std::int16_t g_PolygonsRendered;  // level polygons drawn this frame; wraps past 32767
extern char g_ErrorText[100];            // why Initialize or Setup failed

// Model: the one placed model, which the renderer's frame draws.
extern Entity g_ModelEntity;

// Player and input: the player, the input devices and the mouse state. Input
// has no data of its own.
extern Player g_Player;
extern Input g_Input;
extern IDirectInputA* g_pDirectInput;
extern IDirectInputDeviceA* g_pMouse;
extern DIMOUSESTATE g_MouseState;  // the reading of the current frame
// Mouse look: the motion summed since the view last turned, and the frame
// counter modulo 2 that turns it every second frame.
extern float g_MouseSumX;
extern float g_MouseSumY;
extern std::int32_t g_MouseFrame;

// Audio: every audio manager in one object, and the managers in use.
extern Audio g_Audio;
extern SoundManager* pSoundManager;
extern MusicManager* pMusicManager;
