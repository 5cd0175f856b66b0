// The shell's globals: those the subsystems share (globals/Globals.h) and the
// two renderers. Objects with construction work are defined together in
// Globals.cpp so that their construction order is the one the engine relies on.
#pragma once

#include "globals/Globals.h"

extern class D3DRenderer g_D3DRenderer;
extern class OpenGLRenderer g_OpenGLRenderer;
