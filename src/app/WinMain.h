// The entry routine: start-up, the polling main loop and shut-down.
#pragma once

#include "platform/window/Window.h"

// Owns the whole run. Returns the WM_QUIT's wParam, or 1 when the run failed
// unseen: it ended before the main loop (COM, class registration or window
// creation failed; one line on standard error says why), or a start failure
// that ended it could not be shown in a box. Only the instance handle is used.
int WinMain(HINSTANCE instance, HINSTANCE previousInstance, char* commandLine, int showCommand);

// The start-up's model step: "Test.mdl" given to g_ModelEntity, placed at
// (0, 2.5, 0) with yaw 0.
void StartModel();

// The window procedure registered with the window class.
LRESULT WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
