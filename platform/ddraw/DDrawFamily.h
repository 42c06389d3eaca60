#pragma once
// What every object of the display stand-in shares: its failures are planned in DDrawFailures(),
// and a QueryInterface without an out pointer is an invalid parameter, as the driver says.

#include "DDrawTesting.h"
#include "platform/com/ComObject.h"

inline constexpr TComFamily kDDrawFamily{DDrawFailures, DDERR_INVALIDPARAMS};
