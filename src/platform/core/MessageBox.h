// Message boxes, shown with SDL_ShowMessageBox over the owner window.
#pragma once

#include "platform/core/Types.h"

struct SDL_Window;

constexpr UINT MB_OK = 0x0000;
constexpr UINT MB_ABORTRETRYIGNORE = 0x0002;

constexpr int IDOK = 1;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;

// Returns the pressed button's ID, or 0 when no box could be shown or it was
// closed without an answer. A box that cannot be shown writes its caption and
// text to standard error as one line instead. When SIGINT, SIGTERM or SIGHUP
// asks the run to end before or while the box is up, the box closes and the
// answer is the one that ends the run: IDOK, or IDABORT for Abort/Retry/Ignore.
int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type);

// How a box finds the SDL window of its owner, over which it is shown: the
// windowing stand-in hands its lookup in when it makes a window. Until then
// no window exists, and a box has no parent.
void SetMessageBoxParents(SDL_Window* (*sdlWindowOf)(HWND owner));
