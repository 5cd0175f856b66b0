#include "platform/input/DirectInput.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/core/Seam.h"
#include "platform/window/Sdl.h"

const GUID GUID_SysMouse = {0x6F1D2B60, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

const DIDATAFORMAT c_dfDIMouse = {DIDF_RELAXIS, sizeof(DIMOUSESTATE)};

namespace {

constexpr LONG kWheelNotch = 120;

std::string Hex(DWORD value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", value);
    return text;
}

class MouseDevice final : public IDirectInputDeviceA {
public:
    HRESULT Acquire() override {
        if (auto failure = SeamCall("IDirectInputDeviceA::Acquire")) return static_cast<HRESULT>(*failure);
        if (!formatSet) return DIERR_INVALIDPARAM;
        if (acquired) return DI_NOEFFECT;
        if (SDL_SetRelativeMouseMode(SDL_TRUE) != 0) return DIERR_OTHERAPPHASPRIO;
        // Motion from before the acquisition is not reported.
        PumpSdl();
        SDL_GetRelativeMouseState(nullptr, nullptr);
        wheel = 0;
        SDL_AddEventWatch(WatchWheel, this);
        acquired = true;
        return DI_OK;
    }

    HRESULT Unacquire() override {
        if (auto failure = SeamCall("IDirectInputDeviceA::Unacquire")) return static_cast<HRESULT>(*failure);
        if (!acquired) return DI_NOEFFECT;
        SDL_DelEventWatch(WatchWheel, this);
        SDL_SetRelativeMouseMode(SDL_FALSE);
        acquired = false;
        return DI_OK;
    }

    HRESULT GetDeviceState(DWORD size, void* data) override {
        if (auto failure = SeamCall("IDirectInputDeviceA::GetDeviceState", std::to_string(size)))
            return static_cast<HRESULT>(*failure);
        if (!data || size != sizeof(DIMOUSESTATE)) return DIERR_INVALIDPARAM;
        if (!acquired) return DIERR_NOTACQUIRED;
        PumpSdl();  // the state is as fresh as the last pump
        DIMOUSESTATE state{};
        int x = 0, y = 0;
        SDL_GetRelativeMouseState(&x, &y);
        const Uint32 buttons = SDL_GetMouseState(nullptr, nullptr);
        state.lX = x;
        state.lY = y;
        state.lZ = wheel;
        wheel = 0;
        const Uint32 masks[4] = {SDL_BUTTON_LMASK, SDL_BUTTON_RMASK, SDL_BUTTON_MMASK, SDL_BUTTON_X1MASK};
        for (int i = 0; i < 4; ++i) state.rgbButtons[i] = (buttons & masks[i]) ? 0x80 : 0;
        std::memcpy(data, &state, sizeof state);
        return DI_OK;
    }

    HRESULT SetDataFormat(const DIDATAFORMAT* format) override {
        if (auto failure = SeamCall("IDirectInputDeviceA::SetDataFormat")) return static_cast<HRESULT>(*failure);
        if (acquired) return DIERR_ACQUIRED;
        if (!format || format->dwFlags != c_dfDIMouse.dwFlags || format->dwDataSize != c_dfDIMouse.dwDataSize)
            return DIERR_INVALIDPARAM;
        formatSet = true;
        return DI_OK;
    }

    HRESULT SetCooperativeLevel(HWND window, DWORD flags) override {
        if (auto failure = SeamCall("IDirectInputDeviceA::SetCooperativeLevel", Hex(flags)))
            return static_cast<HRESULT>(*failure);
        if (!SdlWindowOf(window) || flags != (DISCL_NONEXCLUSIVE | DISCL_BACKGROUND)) return DIERR_INVALIDPARAM;
        return DI_OK;
    }

    ULONG Release() override {
        SeamCall("IDirectInputDeviceA::Release");
        if (acquired) {
            SDL_DelEventWatch(WatchWheel, this);
            SDL_SetRelativeMouseMode(SDL_FALSE);
        }
        delete this;
        return 0;
    }

private:
    ~MouseDevice() = default;

    // SDL reports the wheel only as events; they are counted as they arrive,
    // before the window's message pump takes them.
    static int SDLCALL WatchWheel(void* device, SDL_Event* event) {
        if (event->type == SDL_MOUSEWHEEL) {
            const int notches = event->wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -event->wheel.y : event->wheel.y;
            static_cast<MouseDevice*>(device)->wheel += notches * kWheelNotch;
        }
        return 1;
    }

    bool formatSet = false;
    bool acquired = false;
    LONG wheel = 0;  // wheel motion since the last read
};

class DirectInputObject final : public IDirectInputA {
public:
    HRESULT CreateDevice(const GUID& device, IDirectInputDeviceA** created, IUnknown* outer) override {
        const auto failure = SeamCall("IDirectInputA::CreateDevice");
        if (!created) return DIERR_INVALIDPARAM;
        *created = nullptr;
        if (failure) return static_cast<HRESULT>(*failure);
        if (outer) return DIERR_NOAGGREGATION;
        if (std::memcmp(&device, &GUID_SysMouse, sizeof(GUID)) != 0) return DIERR_DEVICENOTREG;
        *created = new MouseDevice;
        return DI_OK;
    }

    ULONG Release() override {
        SeamCall("IDirectInputA::Release");
        delete this;
        return 0;
    }

private:
    ~DirectInputObject() = default;
};

}  // namespace

HRESULT DirectInputCreateA(HINSTANCE, DWORD version, IDirectInputA** directInput, IUnknown* outer) {
    const auto failure = SeamCall("DirectInputCreateA", Hex(version));
    if (!directInput) return DIERR_INVALIDPARAM;
    *directInput = nullptr;
    if (failure) return static_cast<HRESULT>(*failure);
    if (outer) return DIERR_NOAGGREGATION;
    if (version != DIRECTINPUT_VERSION) return DIERR_INVALIDPARAM;
    if (!EnsureVideo()) return DIERR_NOTINITIALIZED;
    *directInput = new DirectInputObject;
    return DI_OK;
}
