// The music manager WinMain starts in the test programs: the stream music
// manager of the audio object, unless a test puts one of its own here.
#pragma once

class MusicManager;

extern MusicManager* g_TestMusicManager;
