// The music manager WinMain starts. The program links the definition that
// names the stream music manager of the audio object (MusicChoice.cpp); the
// test programs link their own, so that a test can start a manager whose
// start fails, which the stream music manager's never does.
#pragma once

class MusicManager;

MusicManager* ChosenMusicManager();
