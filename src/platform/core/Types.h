// The handful of platform types and constants the engine's calls are written
// against. Only what the engine uses is declared; each handle is a pointer to
// a small record of our own, so handles stay typed.
#pragma once

#include <cstdint>

using BOOL = int;
using UINT = unsigned int;
using LONG = std::int32_t;
using DWORD = std::uint32_t;
using BYTE = std::uint8_t;
using ULONG = std::uint32_t;
using WORD = std::uint16_t;
using SHORT = std::int16_t;
using ATOM = std::uint16_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using LONG_PTR = std::intptr_t;
using HRESULT = std::int32_t;
using COLORREF = std::uint32_t;

constexpr BOOL FALSE = 0;
constexpr BOOL TRUE = 1;

// Result codes are tested by sign: negative is a failure.
constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_ABORT = static_cast<HRESULT>(0x80004004u);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);

constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
constexpr HRESULT HRESULT_FROM_WIN32(DWORD error) {
    return error == 0 ? S_OK : static_cast<HRESULT>((error & 0xFFFF) | 0x80070000u);
}

inline bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
inline bool FAILED(HRESULT hr) { return hr < 0; }

struct WindowObject;
using HWND = WindowObject*;
struct InstanceObject;
using HINSTANCE = InstanceObject*;
struct DeviceContextObject;
using HDC = DeviceContextObject*;
struct IconObject;
using HICON = IconObject*;
struct CursorObject;
using HCURSOR = CursorObject*;
struct BrushObject;
using HBRUSH = BrushObject*;
using HGDIOBJ = void*;

// An aggregating outer object of a COM-style creation call; none is ever given.
class IUnknown;

struct GUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    std::uint8_t Data4[8];

    bool operator==(const GUID&) const = default;
};

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};

struct POINT {
    LONG x;
    LONG y;
};
