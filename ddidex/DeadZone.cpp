#include "DeadZone.h"

#include <algorithm>
#include <limits>

namespace ddidex {

TDeadZone::TDeadZone(std::int32_t DeadZone)
    : D(std::max<std::int64_t>(DeadZone, 0)), Lo(D * -32768 / 100), Hi(D * 32767 / 100) {}

std::int32_t TDeadZone::Apply(std::int32_t Value) const {
    if (D == 0)
        return Value;
    const std::int64_t v = Value;
    if (Lo <= v && v <= Hi)
        return 0;
    if (D >= 100)
        return 0;
    const std::int64_t stretched = (v - (v < 0 ? Lo : Hi)) * 100 / (100 - D);
    // Only a device that ignored its range can get here with values beyond 32 bits.
    return static_cast<std::int32_t>(
        std::clamp<std::int64_t>(stretched, std::numeric_limits<std::int32_t>::min(),
                                 std::numeric_limits<std::int32_t>::max()));
}

} // namespace ddidex
