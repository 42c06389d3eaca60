#pragma once
// The kernel's event objects, as far as the session service and its callers use them. A handle
// names an event until CloseHandle; a closed handle is never reused, and a wait on it (or a
// wait under way when it is closed) returns WAIT_FAILED, which is how a waiting thread is told
// to end.

#include "platform/com/Com.h"

using HANDLE = void*;

inline constexpr DWORD INFINITE = 0xFFFFFFFF;
inline constexpr DWORD WAIT_OBJECT_0 = 0x00000000;
inline constexpr DWORD WAIT_TIMEOUT = 0x00000102;
inline constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;

// lpEventAttributes and lpName must be null (unnamed events only).
HANDLE CreateEventA(LPVOID lpEventAttributes, BOOL bManualReset, BOOL bInitialState,
                    const char* lpName);
BOOL SetEvent(HANDLE hEvent);
BOOL ResetEvent(HANDLE hEvent);
DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);
BOOL CloseHandle(HANDLE hObject);
