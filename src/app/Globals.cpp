#include "app/Globals.h"

#include "audio/Audio.h"
#include "audio/MusicManager.h"
#include "audio/SoundManager.h"
#include "model/Entity.h"
#include "player/Player.h"
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
Player g_Player = {};
SoundManager* pSoundManager = nullptr;
MusicManager* pMusicManager = nullptr;
