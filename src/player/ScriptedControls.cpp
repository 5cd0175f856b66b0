#include "player/ScriptedControls.h"

#include <algorithm>
#include <cstring>

#include "globals/Globals.h"
#include "player/Input.h"

namespace {

const ScriptedControls* installed = nullptr;
bool (*deviceKeys)(int virtualKey) = nullptr;  // the keyboard before Install

bool ScriptedKeyDown(int virtualKey) {
    const std::vector<int>& keys = installed->keys;
    return std::find(keys.begin(), keys.end(), virtualKey) != keys.end();
}

}  // namespace

ScriptedControls::~ScriptedControls() {
    if (g_pMouse == this) g_pMouse = nullptr;
    if (installed == this) {
        KeyDown = deviceKeys;
        installed = nullptr;
    }
}

void ScriptedControls::Install() {
    if (!installed) deviceKeys = KeyDown;
    installed = this;
    KeyDown = ScriptedKeyDown;
    g_pMouse = this;
}

HRESULT ScriptedControls::GetDeviceState(DWORD size, void* data) {
    if (!data || size != sizeof(DIMOUSESTATE)) return DIERR_INVALIDPARAM;
    ++reads;
    DIMOUSESTATE state{};
    state.lX = motionX;
    state.lY = motionY;
    std::memcpy(data, &state, sizeof state);
    motionX = 0;
    motionY = 0;
    return DI_OK;
}
