#pragma once
// The reference counting and interface lookup every retained-mode object shares.

#include "platform/d3drm/D3DRM.h"

#include <string>
#include <utility>
#include <vector>

// Implements IUnknown for an object whose most derived interface is I; Iids lists every
// interface it answers to (all of them are I itself, through single inheritance).
template <class I> class TRMObject : public I {
public:
    // Name is the interface that QueryInterface failures are planned under.
    TRMObject(const char* Name, std::vector<IID> Iids) : Name(Name), Iids(std::move(Iids)) {}
    TRMObject(const TRMObject&) = delete;
    TRMObject& operator=(const TRMObject&) = delete;

    HRESULT QueryInterface(REFIID Riid, void** Object) override {
        if (!Object)
            return E_POINTER;
        *Object = nullptr;
        if (HRESULT hr = D3DRMFailures().Check(std::string(Name) + "::QueryInterface"); FAILED(hr))
            return hr;
        for (const IID& iid : Iids)
            if (iid == Riid) {
                AddRef();
                *Object = static_cast<I*>(this);
                return S_OK;
            }
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return Refs.AddRef(); }
    ULONG Release() override {
        ULONG remaining = Refs.Release();
        if (remaining == 0)
            delete this;
        return remaining;
    }

protected:
    ~TRMObject() override = default;

    // Asks the failure plan about Call ("IDirect3DRMFrame::SetPosition").
    static HRESULT Check(const std::string& Call) { return D3DRMFailures().Check(Call); }

private:
    const char* Name;
    std::vector<IID> Iids;
    TRefCount Refs;
};
