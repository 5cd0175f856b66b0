#include "app/MusicChoice.h"

#include "audio/Audio.h"
#include "globals/Globals.h"

MusicManager* ChosenMusicManager() { return &g_Audio.streamMusic; }
