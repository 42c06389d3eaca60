#pragma once
// The motion model of one yacht: whole-degree steering, heel and speed approaching the values
// of fixed tables of the wind angle, one fixed 200 ms step at a time.

#include "yacht/YachtState.h"

#include <cstdint>

class TCntlYacht {
public:
    // At the origin, heading 0, upright, sails trimmed, spinnaker lowered, speed 0.
    TCntlYacht() { Create(); }

    void Create();
    // Takes a state from outside through ClampYachtState; Speed and Reserved are not taken.
    void SetState(const TYachtState& S);
    void GetState(TYachtState& S) const { S = State; }
    TYachtState GetState() const { return State; }
    // Turns by Delta clamped to -5..5 and truncated toward zero; positive turns the bow from
    // +Z towards -X.
    void Steer(float Delta);
    void Step();

    float Speed() const { return FSpeed; }
    void SetSpeed(float Value) { FSpeed = Value; } // for tests and benchmarks

private:
    TYachtState State;
    float FSpeed = 0; // world units per step, never negative; never sent
};

// The model's clamping of a state from outside: X and Z to -32000..32000, Heel to -45..45,
// WindAngle to 0..180 (a negative angle waits as 0 for the next step), Heading and the three
// flags as given, Reserved 0. Infinities clamp like any other value (+inf heel is 45); only
// NaN, which no clamp can place, counts as 0.
TYachtState ClampYachtState(const TYachtState& S);

// A - B brought into -179..180 (so -180 becomes 180). Defined for every pair of integers.
std::int32_t AngleDiff(std::int32_t A, std::int32_t B);

// The tables behind Step, by |wind angle| in whole degrees (0..180).
float HeelTarget(std::int32_t AbsWindAngle);
float SpeedTarget(std::int32_t AbsWindAngle, bool SailsTrimmed);
