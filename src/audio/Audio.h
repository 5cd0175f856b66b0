// The audio object: every audio manager in one global, built before the entry
// routine runs and destroyed at process exit (Globals.cpp).
#pragma once

#include "audio/DirectSoundManager.h"

// Members are destroyed in reverse order of declaration: the sound-effects
// manager is declared last so that its slots are released first.
struct Audio {
    DirectSoundManager soundEffects;
};

extern Audio g_Audio;
