// The audio object: every audio manager in one global, built before the entry
// routine runs and destroyed at process exit (app/Globals.cpp).
#pragma once

#include "audio/DirectSoundManager.h"
#include "audio/MidiMusicManager.h"
#include "audio/StreamMusicManager.h"

// Members are built in this order and destroyed in reverse: the sound slots
// are released first, then the music tracks. The MIDI manager is never made
// current and has nothing to release at exit.
struct Audio {
    MidiMusicManager midiMusic;
    StreamMusicManager streamMusic;
    DirectSoundManager soundEffects;
};
