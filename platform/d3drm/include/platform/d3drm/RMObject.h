#pragma once
// The reference counting and interface lookup every retained-mode object shares.

#include "platform/com/ComObject.h"
#include "platform/d3drm/D3DRM.h"

#include <string>
#include <utility>
#include <vector>

// A retained-mode object: its failures are planned in D3DRMFailures().
template <class I> class TRMObject : public TComObject<I> {
public:
    TRMObject(const char* Name, std::vector<IID> Iids)
        : TComObject<I>(TComFamily{D3DRMFailures}, Name, std::move(Iids)) {}

protected:
    ~TRMObject() override = default;

    // Asks the failure plan about Call ("IDirect3DRMFrame::SetPosition").
    static HRESULT Check(const std::string& Call) { return D3DRMFailures().Check(Call); }
};
