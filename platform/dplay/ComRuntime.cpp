#include "platform/dplay/ComRuntime.h"

#include "DirectPlay.h"
#include "platform/dplay/DPlay.h"

HRESULT CoInitialize(LPVOID) {
    return S_OK;
}

void CoUninitialize() {}

HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD, REFIID riid, LPVOID* ppv) {
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (const HRESULT hr = DirectPlayFailures().Check("CoCreateInstance"); hr != S_OK)
        return hr;
    if (pUnkOuter)
        return CLASS_E_NOAGGREGATION;
    if (!(rclsid == CLSID_DirectPlay))
        return REGDB_E_CLASSNOTREG;
    if (!(riid == IID_IDirectPlay3A))
        return E_NOINTERFACE;
    *ppv = static_cast<IDirectPlay3A*>(new dplay::TDirectPlay());
    return S_OK;
}
