#include "platform/core/MessageBox.h"

#include <SDL.h>

#include <cstdio>
#include <string>

#include "platform/core/EndSignals.h"
#include "platform/core/Seam.h"

namespace {

SDL_Window* (*sdlWindowOf)(HWND owner) = nullptr;

}  // namespace

void SetMessageBoxParents(SDL_Window* (*windowOf)(HWND owner)) { sdlWindowOf = windowOf; }

int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type) {
    SeamCall("MessageBoxA", std::string(caption) + ": " + text);
    if (auto answer = SeamMessageBoxAnswer()) return *answer;

    static const SDL_MessageBoxButtonData okButtons[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDOK, "OK"},
    };
    // SDL lays buttons out right to left; listed this way they read Abort, Retry, Ignore.
    static const SDL_MessageBoxButtonData abortRetryIgnoreButtons[] = {
        {0, IDIGNORE, "Ignore"},
        {0, IDRETRY, "Retry"},
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, IDABORT, "Abort"},
    };
    bool abortRetryIgnore = (type & 0xF) == MB_ABORTRETRYIGNORE;
    SDL_MessageBoxData box{};
    box.flags = SDL_MESSAGEBOX_ERROR | SDL_MESSAGEBOX_BUTTONS_RIGHT_TO_LEFT;
    box.window = sdlWindowOf ? sdlWindowOf(owner) : nullptr;
    box.title = caption;
    box.message = text;
    box.numbuttons = abortRetryIgnore ? 3 : 1;
    box.buttons = abortRetryIgnore ? abortRetryIgnoreButtons : okButtons;

    // A signal that ends the run answers the box so that the run ends; SDL's
    // box child is killed with it and never outlives the engine.
    const int ending = abortRetryIgnore ? IDABORT : IDOK;
    if (EndAsked()) return ending;
    int pressed = -1;
    TieForkedChildren(true);
    const int shown = SDL_ShowMessageBox(&box, &pressed);
    TieForkedChildren(false);
    if (EndAsked()) return ending;
    if (shown != 0) {
        // Never a failure that nobody sees: the text goes to standard error.
        std::fprintf(stderr, "orvanthelix: %s: %s (no message box could be shown: %s)\n", caption, text,
                     SDL_GetError());
        return 0;
    }
    // Closing a plain box counts as its only button; an Abort/Retry/Ignore box
    // closed without a choice has no answer.
    if (pressed < 0) return abortRetryIgnore ? 0 : IDOK;
    return pressed;
}
