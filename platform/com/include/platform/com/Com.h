#pragma once
// The component-object basics every platform stand-in shares: result codes, GUIDs, counted
// references. Names are the platform's own, so the components read as they were written.

#include <atomic>
#include <cstdint>
#include <cstring>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using BOOL = std::int32_t;
using HRESULT = std::int32_t;
using LPVOID = void*;

inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;

constexpr HRESULT MakeHResult(std::uint32_t Value) {
    return static_cast<HRESULT>(Value);
}

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = MakeHResult(0x80004001);
inline constexpr HRESULT E_NOINTERFACE = MakeHResult(0x80004002);
inline constexpr HRESULT E_POINTER = MakeHResult(0x80004003);
inline constexpr HRESULT E_FAIL = MakeHResult(0x80004005);
inline constexpr HRESULT E_OUTOFMEMORY = MakeHResult(0x8007000E);
inline constexpr HRESULT E_INVALIDARG = MakeHResult(0x80070057);

constexpr bool SUCCEEDED(HRESULT Hr) {
    return Hr >= 0;
}
constexpr bool FAILED(HRESULT Hr) {
    return Hr < 0;
}

struct GUID {
    DWORD Data1 = 0;
    WORD Data2 = 0;
    WORD Data3 = 0;
    BYTE Data4[8] = {};
    friend bool operator==(const GUID& A, const GUID& B) {
        return std::memcmp(&A, &B, sizeof(GUID)) == 0;
    }
};
static_assert(sizeof(GUID) == 16);
using IID = GUID;
using REFIID = const GUID&;
using REFGUID = const GUID&;
using REFCLSID = const GUID&;

inline constexpr GUID GUID_NULL{};

struct RECT {
    LONG left = 0, top = 0, right = 0, bottom = 0;
};
struct POINT {
    LONG x = 0, y = 0;
};
struct SIZE {
    LONG cx = 0, cy = 0;
};

// A window as the platform calls see it: the window framework's own window object, so that a
// stand-in can ask the framework whether the window is active.
class QWidget;
using HWND = QWidget*;
// The program's module; the stand-ins accept any value.
struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;

// Every stand-in interface derives from this. Release returns the count that remains, exactly:
// the components check it.
struct IUnknown {
    virtual HRESULT QueryInterface(REFIID Riid, void** Object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    virtual ~IUnknown() = default;
};

// A thread-safe reference count for the implementation classes; starts at 1 (the creator's)
// unless an object's interfaces are handed out later.
class TRefCount {
public:
    explicit TRefCount(ULONG Initial = 1) : Count(Initial) {}
    ULONG AddRef() { return ++Count; }
    // Returns the remaining count; the caller deletes the object when it is 0.
    ULONG Release() { return --Count; }
    ULONG Value() const { return Count; }

private:
    std::atomic<ULONG> Count{1};
};

// Releases *Ref when it is set and sets it to nullptr; returns what Release returned (0 when
// there was nothing to release).
template <class T> ULONG ReleaseRef(T*& Ref) {
    ULONG remaining = 0;
    if (Ref) {
        remaining = Ref->Release();
        Ref = nullptr;
    }
    return remaining;
}
