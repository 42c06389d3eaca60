#pragma once
// Holds one counted reference and releases it when it goes, so that no path out of a function
// can leak or release twice.

#include "platform/com/Com.h"

#include <utility>

template <class T> class TComRef {
public:
    TComRef() = default;
    // Takes over a reference the caller already owns; adds none.
    explicit TComRef(T* Adopted) : P(Adopted) {}
    TComRef(const TComRef&) = delete;
    TComRef& operator=(const TComRef&) = delete;
    TComRef(TComRef&& Other) noexcept : P(Other.Detach()) {}
    TComRef& operator=(TComRef&& Other) noexcept {
        if (this != &Other)
            Reset(Other.Detach());
        return *this;
    }
    ~TComRef() { ReleaseRef(P); }

    // For the out-parameter of a creating call; drops what was held.
    T** Out() {
        ReleaseRef(P);
        return &P;
    }
    // The same, for calls whose out-parameter is untyped (QueryInterface).
    void** OutVoid() { return reinterpret_cast<void**>(Out()); }
    T* operator->() const { return P; }
    T* Get() const { return P; }
    explicit operator bool() const { return P != nullptr; }
    // Releases what was held and adopts Adopted.
    void Reset(T* Adopted = nullptr) {
        T* old = P;
        P = Adopted;
        if (old)
            old->Release();
    }
    // Gives the reference to the caller, who now releases it.
    T* Detach() { return std::exchange(P, nullptr); }

private:
    T* P = nullptr;
};
