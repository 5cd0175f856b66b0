// COM as far as the engine uses it: the library's start and stop, and the
// creation of the media classes the music managers ask for (the filter graph
// of platform/music/DirectShow.h, the MIDI performance and loader of
// platform/music/DirectMusic.h). Objects are counted references: each Release gives
// one up and the object goes with the last. They live in this process only, so
// an object released after CoUninitialize (the global audio object is
// destroyed at process exit) is released as at any other time.
#pragma once

#include "platform/core/Types.h"

constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;

constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154u);
constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110u);
constexpr HRESULT CO_E_NOTINITIALIZED = static_cast<HRESULT>(0x800401F0u);

class IUnknown {
public:
    // The object's `iid` interface with one more reference, or E_NOINTERFACE.
    virtual HRESULT QueryInterface(const GUID& iid, void** object) = 0;
    virtual ULONG AddRef() = 0;
    // One reference less; returns how many are left.
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default;
};

// S_OK for the first start, S_FALSE while already started; each success wants
// its CoUninitialize.
HRESULT CoInitialize(void* reserved);
void CoUninitialize();

// A new object of class `clsid` handing out its `iid` interface. Only
// in-process objects exist (`context` must include CLSCTX_INPROC_SERVER); a
// class of neither stand-in gives REGDB_E_CLASSNOTREG, an interface the class
// lacks E_NOINTERFACE; CO_E_NOTINITIALIZED before CoInitialize.
HRESULT CoCreateInstance(const GUID& clsid, IUnknown* outer, DWORD context, const GUID& iid, void** object);
