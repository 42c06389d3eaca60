#pragma once
// The component runtime's start, end and object creation. The only class the game creates
// through it is the session service (CLSID_DirectPlay with IID_IDirectPlay3A).

#include "platform/com/Com.h"

inline constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
inline constexpr HRESULT REGDB_E_CLASSNOTREG = MakeHResult(0x80040154);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = MakeHResult(0x80040110);

HRESULT CoInitialize(LPVOID pvReserved);
void CoUninitialize();
// Fails as "CoCreateInstance" through DirectPlayFailures().
HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext, REFIID riid,
                         LPVOID* ppv);
