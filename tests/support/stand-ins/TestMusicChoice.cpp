#include "support/stand-ins/TestMusicChoice.h"

#include "app/MusicChoice.h"
#include "audio/Audio.h"
#include "globals/Globals.h"

MusicManager* g_TestMusicManager = nullptr;

MusicManager* ChosenMusicManager() { return g_TestMusicManager ? g_TestMusicManager : &g_Audio.streamMusic; }
