#pragma once
// The system's screen-saver switch. Switching it off asks the desktop's screen-saver inhibit
// service (org.freedesktop.ScreenSaver on the session bus) to hold the screen saver back;
// switching it on lets go again. Where no such service runs, only the flag changes.

#include "platform/vcl/WinHandles.h"

inline constexpr UINT SPI_GETSCREENSAVEACTIVE = 16;
inline constexpr UINT SPI_SETSCREENSAVEACTIVE = 17;
inline constexpr UINT SPIF_SENDWININICHANGE = 2;

// SPI_GETSCREENSAVEACTIVE writes the flag to *(BOOL*)Param; SPI_SETSCREENSAVEACTIVE sets it
// from UiParam (0 off, anything else on). Other actions fail (FALSE).
BOOL SystemParametersInfoA(UINT Action, UINT UiParam, void* Param, UINT WinIni);

namespace vcl {
// Whether the desktop's service holds the screen saver back for us now (for tests).
bool ScreenSaverInhibited();
} // namespace vcl
