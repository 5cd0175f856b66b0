// The input devices and the per-frame player update. The mouse is read through
// DirectInput as a relative device, the keyboard through the asynchronous key
// state. Input has no data of its own: the devices and the mouse state are
// globals (globals/Globals.h).
#pragma once

#include "platform/core/Types.h"

class Input {
public:
    // Creates the DirectInput object and the system mouse and acquires it,
    // with the window g_Window. On the first failing step releases whatever
    // was made and returns false.
    bool Start(HINSTANCE instance);

    // Unacquires and releases the mouse, then releases the DirectInput object,
    // clearing both pointers. Does nothing for what is not there, so it is
    // safe twice and after a failed Start. Always true.
    bool Release();

    // One frame of the player: reads the keys and the mouse, turns the view,
    // moves g_Player against the level g_Bsp, applies friction, gravity and
    // the jump. Escape asks to quit instead; a failed mouse read releases the
    // devices and asks to quit, and the frame goes on with the last reading.
    void Update();
};

// How the update reads a key (a virtual-key code): true while it is down.
// The engine reads the platform's asynchronous key state; ScriptedControls
// (orvtool walk, the tests) gives keys of its own instead.
extern bool (*KeyDown)(int virtualKey);
