#pragma once
// What every object of the display stand-in shares: its failures are planned in DDrawFailures(),
// and a QueryInterface without an out pointer is an invalid parameter, as the driver says.

#include "platform/com/ComObject.h"
#include "platform/ddraw/DDrawTesting.h"

inline constexpr TComFamily kDDrawFamily{DDrawFailures, DDERR_INVALIDPARAMS};
