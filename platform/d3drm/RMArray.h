#pragma once
// The frame and visual arrays: snapshots that hold a reference to each element.

#include "platform/d3drm/RMObject.h"

#include <vector>

template <class IArray, class IElement> class TRMArray final : public TRMObject<IArray> {
public:
    TRMArray(const char* Name, const IID& Iid, std::vector<IElement*> Elements)
        : TRMObject<IArray>(Name, {Iid}), Name(Name), Elements(std::move(Elements)) {
        for (IElement* e : this->Elements)
            e->AddRef();
    }

    DWORD GetSize() override { return static_cast<DWORD>(Elements.size()); }
    HRESULT GetElement(DWORD Index, IElement** Element) override {
        if (!Element)
            return D3DRMERR_BADVALUE;
        *Element = nullptr;
        if (HRESULT hr = this->Check(std::string(Name) + "::GetElement"); FAILED(hr))
            return hr;
        if (Index >= Elements.size())
            return D3DRMERR_BADVALUE;
        *Element = Elements[Index];
        (*Element)->AddRef();
        return D3DRM_OK;
    }

private:
    ~TRMArray() override {
        for (IElement* e : Elements)
            e->Release();
    }

    const char* Name;
    std::vector<IElement*> Elements;
};

using TRMFrameArray = TRMArray<IDirect3DRMFrameArray, IDirect3DRMFrame>;
using TRMVisualArray = TRMArray<IDirect3DRMVisualArray, IDirect3DRMVisual>;
