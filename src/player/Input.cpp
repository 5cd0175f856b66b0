// Starting and releasing the input devices.
#include "player/Input.h"

#include "globals/Globals.h"
#include "platform/core/System.h"
#include "platform/input/DirectInput.h"

namespace {

bool AsyncKeyDown(int virtualKey) { return (GetAsyncKeyState(virtualKey) & 0x8000) != 0; }

}  // namespace

bool (*KeyDown)(int virtualKey) = AsyncKeyDown;

bool Input::Start(HINSTANCE instance) {
    if (FAILED(DirectInputCreateA(instance, DIRECTINPUT_VERSION, &g_pDirectInput, nullptr)) ||
        FAILED(g_pDirectInput->CreateDevice(GUID_SysMouse, &g_pMouse, nullptr)) ||
        FAILED(g_pMouse->SetCooperativeLevel(g_Window, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND)) ||
        FAILED(g_pMouse->SetDataFormat(&c_dfDIMouse)) || FAILED(g_pMouse->Acquire())) {
        Release();
        return false;
    }
    return true;
}

// The device goes before the DirectInput object that created it.
bool Input::Release() {
    if (g_pMouse) {
        g_pMouse->Unacquire();
        g_pMouse->Release();
        g_pMouse = nullptr;
    }
    if (g_pDirectInput) {
        g_pDirectInput->Release();
        g_pDirectInput = nullptr;
    }
    return true;
}
