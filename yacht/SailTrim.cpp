#include "SailTrim.h"

#include "YachtMath.h"

#include <cmath>

namespace {

bool EveryKth(std::int32_t FrameCounter, std::int32_t K) {
    return FrameCounter % K == 0;
}

// Only the size of the relative wind matters to the sails; the tack says which side.
float WindOffBow(const TYachtState& State) {
    return std::fabs(State.WindAngle);
}

// Angle in whole degrees toward zero, turned from (0, 1): (-sin t, cos t).
TSailPose Turned(float Angle) {
    TSailPose pose;
    pose.Angle = Angle;
    float x = 0, z = 1;
    RotateDeg(TruncDeg(Angle), x, z);
    pose.DX = x;
    pose.DZ = z;
    return pose;
}

} // namespace

TSailPose MainTrim(const TYachtState& State, std::int32_t FrameCounter) {
    const float a = WindOffBow(State);
    const float sign = State.Tack != 0 ? -1.0f : 1.0f;
    std::int32_t m = State.Tack != 0 ? 1 : 0;
    float alpha;
    bool luffs;
    if (State.SailsTrimmed != 0) {
        // The boom stays on the centre line to 40 degrees off the wind, then follows it.
        alpha = MinF(70, MaxF(0, a - 40));
        luffs = a <= 5;
    } else {
        alpha = a <= 70 ? a : 70;
        luffs = a <= 75;
    }
    if (luffs && EveryKth(FrameCounter, 2))
        m = (m + 1) % 2;
    TSailPose pose = Turned(alpha * sign);
    pose.Variant = m;
    return pose;
}

std::int32_t JibShape(const TYachtState& State) {
    const std::int32_t n = TruncDeg(WindOffBow(State));
    std::int32_t shape;
    if (State.SailsTrimmed != 0)
        shape = n < 61 ? 0 : n < 141 ? 1 : 2;
    else
        shape = n < 111 ? 0 : n < 120 ? 1 : 2;
    return State.Tack != 0 ? shape + 3 : shape;
}

TSailPose JibTrim(const TYachtState& State, std::int32_t FrameCounter) {
    const float a = WindOffBow(State);
    const float sign = State.Tack != 0 ? -1.0f : 1.0f;
    std::int32_t j = JibShape(State);
    float alpha;
    bool luffs;
    if (State.SailsTrimmed != 0) {
        // Follows the wind to 20, holds 20 until 60, then follows the wind less 40.
        alpha = a <= 20 ? a : MinF(70, MaxF(20, a - 40));
        luffs = a < 40 ? EveryKth(FrameCounter, 2) : a < 42 && EveryKth(FrameCounter, 5);
    } else {
        alpha = a <= 110 ? a : 110;
        luffs = a < 110   ? EveryKth(FrameCounter, 2)
                : a < 115 ? EveryKth(FrameCounter, 3)
                          : a < 120 && EveryKth(FrameCounter, 6);
    }
    if (luffs)
        j = (j + 3) % 6;
    TSailPose pose = Turned(alpha * sign);
    pose.DY = 0.34f * pose.DZ;
    pose.Variant = j;
    return pose;
}

TSailPose SpinnakerTrim(const TYachtState& State) {
    // Swung the other way from main and jib: the spinnaker flies forward of its frame.
    const float sign = State.Tack != 0 ? 1.0f : -1.0f;
    return Turned(MinF(45, std::fabs(180 - WindOffBow(State))) * sign);
}
