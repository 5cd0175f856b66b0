// Keys and mouse motion handed to the player update frame by frame instead of
// read from the devices: orvtool walk plays its script through this, and the
// tests drive the update with it. The update itself is the same code.
#pragma once

#include <vector>

#include "platform/input/DirectInput.h"

class ScriptedControls final : public IDirectInputDeviceA {
public:
    ScriptedControls() = default;
    ScriptedControls(const ScriptedControls&) = delete;
    ScriptedControls& operator=(const ScriptedControls&) = delete;
    ~ScriptedControls();  // gives the keyboard back and leaves g_pMouse empty

    std::vector<int> keys;  // virtual-key codes down, until changed
    LONG motionX = 0;       // the motion the next read reports, then 0 again
    LONG motionY = 0;
    int reads = 0;

    // From now on KeyDown reads `keys` and g_pMouse is this device.
    void Install();

    // A device that is always acquired; reads never fail. Its owner frees
    // it, so Release does nothing.
    HRESULT Acquire() override { return DI_OK; }
    HRESULT Unacquire() override { return DI_OK; }
    HRESULT GetDeviceState(DWORD size, void* data) override;
    HRESULT SetDataFormat(const DIDATAFORMAT*) override { return DI_OK; }
    HRESULT SetCooperativeLevel(HWND, DWORD) override { return DI_OK; }
    ULONG Release() override { return 0; }
};
