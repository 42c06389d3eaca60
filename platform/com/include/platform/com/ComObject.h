#pragma once
// The reference counting and interface lookup every stand-in object shares.

#include "platform/com/Com.h"
#include "platform/com/FailurePlan.h"

#include <string>
#include <utility>
#include <vector>

// What a family of stand-ins (one platform component) shares: the plan its QueryInterface
// failures are asked of, and what a QueryInterface without an out pointer returns, since the
// components disagree on that.
struct TComFamily {
    TFailurePlan& (*Failures)();
    HRESULT NullOut = E_POINTER;
};

// Implements IUnknown for an object whose most derived interface is I; Iids lists every
// interface it answers with itself (all of them are I, through single inheritance). The
// object starts with Initial references and goes at its last Release.
template <class I> class TComObject : public I {
public:
    // Name is the interface that QueryInterface failures are planned under
    // ("IDirectDrawSurface" fails as "IDirectDrawSurface::QueryInterface").
    TComObject(TComFamily Family, const char* Name, std::vector<IID> Iids, ULONG Initial = 1)
        : Family(Family), Name(Name), Iids(std::move(Iids)), Refs(Initial) {}
    TComObject(const TComObject&) = delete;
    TComObject& operator=(const TComObject&) = delete;

    HRESULT QueryInterface(REFIID Riid, void** Object) override {
        if (!Object)
            return Family.NullOut;
        *Object = nullptr;
        if (HRESULT hr = Family.Failures().Check(std::string(Name) + "::QueryInterface");
            hr != S_OK)
            return hr;
        IUnknown* found = Answer(Riid);
        if (!found)
            return Unlisted(Riid, Object);
        found->AddRef();
        *Object = found;
        return S_OK;
    }
    ULONG AddRef() override { return Refs.AddRef(); }
    // A Release with no reference left does nothing: an interface whose count the platform
    // lets reach 0 while its object lives must not wrap around.
    ULONG Release() override {
        if (Refs.Value() == 0)
            return 0;
        const ULONG remaining = Refs.Release();
        if (remaining == 0)
            LastReleased();
        return remaining;
    }
    ULONG References() const { return Refs.Value(); }

protected:
    ~TComObject() override = default;

    // The interface Riid names, not yet referenced; nullptr when this object has none. The
    // pointer handed out is the IUnknown itself, which single inheritance makes the interface.
    virtual IUnknown* Answer(REFIID Riid) {
        for (const IID& iid : Iids)
            if (iid == Riid)
                return static_cast<I*>(this);
        return nullptr;
    }
    // Riid is none of Answer's: an object handing out a separate one (a texture of a surface)
    // or passing the question on says so here.
    virtual HRESULT Unlisted(REFIID, void**) { return E_NOINTERFACE; }
    // The last reference went; an object that tidies up first, or is part of another,
    // overrides this.
    virtual void LastReleased() { delete this; }

private:
    const TComFamily Family;
    const char* Name;
    std::vector<IID> Iids;
    TRefCount Refs;
};
