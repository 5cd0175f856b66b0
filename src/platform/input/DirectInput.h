// The system mouse as a relative device, on SDL's relative mouse mode:
// DirectInputCreateA, the DirectInput object and its one device, as far as the
// engine uses them. While the device is acquired the pointer is captured and
// hidden, and each read reports the motion since the previous one.
#pragma once

#include <cstdint>

#include "platform/core/Types.h"

constexpr DWORD DIRECTINPUT_VERSION = 0x0700;

constexpr DWORD DISCL_NONEXCLUSIVE = 0x00000002;
constexpr DWORD DISCL_BACKGROUND = 0x00000008;

constexpr DWORD DIDF_RELAXIS = 0x00000002;

constexpr HRESULT DI_OK = S_OK;
constexpr HRESULT DI_NOEFFECT = S_FALSE;
constexpr HRESULT DIERR_INVALIDPARAM = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT DIERR_NOAGGREGATION = static_cast<HRESULT>(0x80040110u);
constexpr HRESULT DIERR_DEVICENOTREG = static_cast<HRESULT>(0x80040154u);
constexpr HRESULT DIERR_NOTINITIALIZED = static_cast<HRESULT>(0x80070015u);
constexpr HRESULT DIERR_OTHERAPPHASPRIO = static_cast<HRESULT>(0x80070005u);
constexpr HRESULT DIERR_ACQUIRED = static_cast<HRESULT>(0x800700AAu);
constexpr HRESULT DIERR_NOTACQUIRED = static_cast<HRESULT>(0x8007000Cu);

// The system mouse.
extern const GUID GUID_SysMouse;

// What a device's data format says of the record it reads: the axis mode and
// the record's size.
struct DIDATAFORMAT {
    DWORD dwFlags;
    DWORD dwDataSize;
};

// The mouse's record in the c_dfDIMouse format: motion along X, Y and the
// wheel since the previous read (Y grows toward the user; a wheel notch is
// 120), and the left, right, middle and fourth button (high bit set while
// down).
struct DIMOUSESTATE {
    LONG lX;
    LONG lY;
    LONG lZ;
    std::uint8_t rgbButtons[4];
};
static_assert(sizeof(DIMOUSESTATE) == 16);

// The standard mouse format: relative axes, read into a DIMOUSESTATE.
extern const DIDATAFORMAT c_dfDIMouse;

class IDirectInputDeviceA {
public:
    // Turns the relative mouse mode on: the pointer is captured and hidden.
    // Needs the data format set; DI_NOEFFECT when already acquired.
    virtual HRESULT Acquire() = 0;
    // Turns the relative mouse mode off; DI_NOEFFECT when not acquired.
    virtual HRESULT Unacquire() = 0;
    // Fills `size` bytes (the data format's size) while acquired.
    virtual HRESULT GetDeviceState(DWORD size, void* data) = 0;
    // Only c_dfDIMouse (relative axes, 16 bytes), and not while acquired.
    virtual HRESULT SetDataFormat(const DIDATAFORMAT* format) = 0;
    // A live window and DISCL_NONEXCLUSIVE | DISCL_BACKGROUND, the one mode
    // provided: the mouse is shared with the rest of the desktop, and reads
    // go on while the window is in the background.
    virtual HRESULT SetCooperativeLevel(HWND window, DWORD flags) = 0;
    // Unacquires the device if needed and frees it.
    virtual ULONG Release() = 0;

protected:
    ~IDirectInputDeviceA() = default;
};

class IDirectInputA {
public:
    // Only GUID_SysMouse. One mouse device at a time reads the motion.
    virtual HRESULT CreateDevice(const GUID& device, IDirectInputDeviceA** created, IUnknown* outer) = 0;
    // Devices it created stay valid until they are released.
    virtual ULONG Release() = 0;

protected:
    ~IDirectInputA() = default;
};

// The DirectInput object of interface version 0x0700, the only one provided.
// Needs the display (the mouse is read through SDL's video subsystem); the
// instance handle plays no part.
HRESULT DirectInputCreateA(HINSTANCE instance, DWORD version, IDirectInputA** directInput, IUnknown* outer);
