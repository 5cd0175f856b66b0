// The demo as the program starts it, for drawing it from chosen places: the
// pack in the current directory unpacked, the Direct3D-style renderer started
// on g_Window, the level and the model loaded.
#pragma once

#include <string>

#include "math/Vector.h"

// False, with the reason, when a step fails; what started is left for EndDemo.
bool StartDemo(std::string& error);

// One frame drawn and shown with the player at `position`, looking along
// (-sin yaw, 0, cos yaw) and up by `pitch`.
void DrawDemoFrom(Vector position, float yaw, float pitch);

// Frees the level, shuts the renderer down and deletes the unpacked files.
void EndDemo();
