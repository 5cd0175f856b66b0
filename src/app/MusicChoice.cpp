#include "app/MusicChoice.h"

#include "audio/Audio.h"

MusicManager* ChosenMusicManager() { return &g_Audio.streamMusic; }
