#pragma once
// The one record of a yacht's pose and control state. The same 24 bytes live in memory,
// go to the scene and cross the wire, so their layout is fixed and checked below.

#include <bit>
#include <cstddef>
#include <cstdint>

static_assert(std::endian::native == std::endian::little,
              "TYachtState is sent byte for byte; a big-endian port needs explicit swapping");

#pragma pack(push, 1)
struct TYachtState {
    float X = 0;           // world units
    float Z = 0;           // world units
    float Heading = 0;     // degrees; the model keeps a whole number 0..359
    float Heel = 0;        // degrees, positive heels the mast to -(cos h, 0, sin h)
    float WindAngle = 0;   // degrees from the bow to the wind, -179..180
    std::uint8_t Tack = 0; // 1 when WindAngle < 0
    std::uint8_t SailsTrimmed = 0;
    std::uint8_t Spinnaker = 0;
    std::uint8_t Reserved = 0; // always 0 on output, ignored on input
};
#pragma pack(pop)

static_assert(sizeof(TYachtState) == 24);
static_assert(offsetof(TYachtState, X) == 0);
static_assert(offsetof(TYachtState, Z) == 4);
static_assert(offsetof(TYachtState, Heading) == 8);
static_assert(offsetof(TYachtState, Heel) == 12);
static_assert(offsetof(TYachtState, WindAngle) == 16);
static_assert(offsetof(TYachtState, Tack) == 20);
static_assert(offsetof(TYachtState, SailsTrimmed) == 21);
static_assert(offsetof(TYachtState, Spinnaker) == 22);
static_assert(offsetof(TYachtState, Reserved) == 23);

// The record a slot is reset to: everything 0 but the sails trimmed.
inline TYachtState ResetYachtState() {
    TYachtState s;
    s.SailsTrimmed = 1;
    return s;
}
