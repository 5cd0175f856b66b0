// Tick count, asynchronous key state, and why the last platform call failed.
#pragma once

#include "platform/core/Types.h"

constexpr int VK_SPACE = 0x20;
constexpr int VK_ESCAPE = 0x1B;
constexpr int VK_LEFT = 0x25;
constexpr int VK_UP = 0x26;
constexpr int VK_RIGHT = 0x27;
constexpr int VK_DOWN = 0x28;
// Letter keys use their upper-case character codes: 'W', 'A', 'S', 'D'.

// Milliseconds since the platform layer started; wraps after 49.7 days.
DWORD GetTickCount();

// High bit (0x8000) set while the key is down. Keys the engine does not use read 0.
SHORT GetAsyncKeyState(int virtualKey);

// Why the last platform call failed, in the words of the library under it.
const char* GetLastErrorText();
