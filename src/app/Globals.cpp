// Every shared global (globals/Globals.h) is defined here, so that the order
// of the constructed ones is the one the engine relies on.
#include "globals/Globals.h"

#include "audio/Audio.h"
#include "audio/MusicManager.h"
#include "audio/SoundManager.h"
#include "level/Bsp.h"
#include "model/Entity.h"
#include "player/Input.h"
#include "player/Player.h"
#include "render/FrameTimer.h"
#include "render/Renderer.h"
#include "render/d3d/D3DRenderer.h"
#include "render/gl/OpenGLRenderer.h"

// Constructed objects, in the order the engine relies on.
FrameTimer g_FrameTimer;
D3DRenderer g_D3DRenderer;
Entity g_ModelEntity;
OpenGLRenderer g_OpenGLRenderer;
// Last: the C++ runtime registers its destruction with atexit once it is
// built, so it is destroyed after every exit handler registered later has run
// (the mixer's device close and SDL_Quit among them); its sound slots then
// release their buffers without touching SDL.
Audio g_Audio;

// Zero-filled before anything runs.
HWND g_Window = nullptr;
std::int16_t g_SoundEnabled = 0;
std::int16_t g_MusicEnabled = 0;
std::int16_t g_InvertMouseY = 0;
std::int16_t g_JumpSound = 0;
std::int16_t g_MusicTrack = 0;
Bsp g_Bsp;
Renderer* g_pRenderer = nullptr;
Texture* g_pBlankTexture = nullptr;
std::int16_t g_PolygonsRendered = 0;
char g_ErrorText[100] = {};
Player g_Player = {};
Input g_Input;
IDirectInputA* g_pDirectInput = nullptr;
IDirectInputDeviceA* g_pMouse = nullptr;
DIMOUSESTATE g_MouseState = {};
float g_MouseSumX = 0.0f;
float g_MouseSumY = 0.0f;
std::int32_t g_MouseFrame = 0;
SoundManager* pSoundManager = nullptr;
MusicManager* pMusicManager = nullptr;
