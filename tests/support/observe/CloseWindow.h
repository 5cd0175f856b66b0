// Closing a window as a window manager does when the user closes it.
#pragma once

#include <string>

// Sends WM_DELETE_WINDOW to the window `id` on the display of $DISPLAY.
// Returns the problem, or an empty text once the message is sent; a window
// that does not take the message could only be killed, never closed.
std::string CloseWindow(unsigned long id);
