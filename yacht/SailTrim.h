#pragma once
// How a yacht's state shows in its sails: how far each sail swings out from the centre line,
// which prebuilt mesh it shows (the side it bellies to, and for the jib how full it is), and
// whether it luffs. Luffing is drawn by showing the mirror-image mesh on some frames, so the
// sail flips from side to side. Pure functions; FrameCounter is the scene's 0..1000 counter.

#include "yacht/YachtState.h"

#include <cstdint>

// A sail frame's pose relative to its yacht frame: Angle in degrees (positive swings the boom
// or clew to starboard), the z axis (DX, DY, DZ) it gives, and the mesh to show. Variant
// indexes the main-sail set (0..1) or the jib set (0..5); in both, a starboard-bellied mesh
// plus half the set's size is the same shape bellied to port. The spinnaker has no variant (0).
struct TSailPose {
    float Angle = 0;
    float DX = 0;
    float DY = 0;
    float DZ = 1;
    std::int32_t Variant = 0;
};

TSailPose MainTrim(const TYachtState& State, std::int32_t FrameCounter);
// 0..2 = flattest..fullest bellied to starboard, 3..5 the same to port (when Tack is set).
std::int32_t JibShape(const TYachtState& State);
// DY tips the jib's z axis up toward the head of the forestay: DY = 0.34 * DZ.
TSailPose JibTrim(const TYachtState& State, std::int32_t FrameCounter);
TSailPose SpinnakerTrim(const TYachtState& State);
