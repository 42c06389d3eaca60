#pragma once
// The dead zone of a joystick axis: DeadZone percent of each half range around the centre reads
// 0, and the live rest of each half is stretched back to the full half. Computed in 64 bits, so
// no DeadZone value and no axis value can overflow it.

#include <cstdint>

namespace ddidex {

class TDeadZone {
public:
    // DeadZone 0 (or below) passes values unchanged; 100 or more makes every value 0.
    explicit TDeadZone(std::int32_t DeadZone);
    std::int32_t Apply(std::int32_t Value) const;

private:
    std::int64_t D;
    std::int64_t Lo; // D% of the negative half, truncated toward zero
    std::int64_t Hi; // D% of the positive half
};

} // namespace ddidex
