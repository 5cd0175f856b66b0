#include "platform/core/Com.h"

#include <string>

#include "platform/core/ComClasses.h"
#include "platform/core/Seam.h"

namespace {

int initCount = 0;

}  // namespace

HRESULT CoInitialize(void*) {
    if (auto failure = SeamCall("CoInitialize")) return static_cast<HRESULT>(*failure);
    return initCount++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
    SeamCall("CoUninitialize");
    if (initCount > 0) --initCount;
}

HRESULT CoCreateInstance(const GUID& clsid, IUnknown* outer, DWORD context, const GUID& iid, void** object) {
    const ComClass* found = nullptr;
    for (const ComClass& known : ComClasses())
        if (*known.clsid == clsid) found = &known;
    const std::string name = found ? found->name : "unknown class";
    // Armed for every class, or for one class by its name (the first word recorded).
    const auto failure = SeamCall("CoCreateInstance", name + " " + std::to_string(context));
    if (!object) return E_POINTER;
    *object = nullptr;
    if (failure) return static_cast<HRESULT>(*failure);
    if (initCount == 0) return CO_E_NOTINITIALIZED;
    if (!found || !(context & CLSCTX_INPROC_SERVER)) return REGDB_E_CLASSNOTREG;
    if (outer) return CLASS_E_NOAGGREGATION;
    return found->create(iid, object);
}
