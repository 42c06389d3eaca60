#pragma once
// The window system's handles as the platform headers spell them. A window (HWND, named with
// the component basics) is the framework's top-level widget; its client area is the central
// widget of a main window.

#include "platform/com/Com.h"

namespace vcl {
class TDeviceContext;
class TLogicalPalette;
} // namespace vcl

using HDC = vcl::TDeviceContext*;
using HPALETTE = vcl::TLogicalPalette*;
using HANDLE = void*;
using LPSTR = char*;
using LPCSTR = const char*;
using UINT = std::uint32_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
