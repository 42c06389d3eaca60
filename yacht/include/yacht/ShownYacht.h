#pragma once
// Where a yacht is drawn between the fixed steps of its model. The picture runs one step behind
// the model: at a given part of the step period it shows that part of the way from the
// yacht's previous step to its last one, so it is at each step exactly when the next is due.
// When a state from the yacht's owner replaces what this machine worked out, the difference is
// eased out at no more than a yacht's own pace instead of shown as a jump. Pure arithmetic on
// states and the multimedia clock's milliseconds; it never changes the model.

#include "yacht/YachtState.h"

#include <cstdint>

// The most one step moves a yacht: the fastest speed of the tables, one turn of the helm, the
// heel's rate of change. A correction closes no faster than this per step period.
inline constexpr float kStepDistanceLimit = 0.13f; // world units
inline constexpr float kStepTurnLimit = 5;         // degrees of heading or wind angle
inline constexpr float kStepHeelLimit = 2;         // degrees
// A correction takes at least one step period and at most this long, however large.
inline constexpr std::uint32_t kCorrectionMinMs = 200;
inline constexpr std::uint32_t kCorrectionMaxMs = 1000;

// The pose Part of the way from A to B (Part clamped to 0..1): X, Z and Heel straight, Heading
// and WindAngle the shorter way round (Heading kept in 0..360, WindAngle in -180..180), the
// flags those of the nearer end. Exactly A at 0 and exactly B at 1, to the bit.
TYachtState BlendYachtStates(const TYachtState& A, const TYachtState& B, float Part);

class TShownYacht {
public:
    // Nothing known yet: the first state given, by any call, is shown as it is.
    TShownYacht() = default;

    // Shown at State from now on, with nothing to ease: a yacht that appears or is put there.
    void Reset(const TYachtState& State);
    // The model took one step, to State.
    void Step(const TYachtState& State);
    // State replaced the model's at Now, when Part of the step period had passed: what was
    // shown at that moment is eased toward the new course from there on.
    void Replace(const TYachtState& State, float Part, std::uint32_t Now);
    // What to draw at Now, when Part of the step period has passed since the last step.
    TYachtState Pose(float Part, std::uint32_t Now) const;

    bool Known() const { return FKnown; }
    const TYachtState& Previous() const { return FPrevious; }
    const TYachtState& Last() const { return FLast; }
    // How long the present correction lasts in all (0: none).
    std::uint32_t CorrectionLength() const { return FCorrectionLength; }

private:
    // Aligned for their floats: the record itself is packed for the wire.
    alignas(4) TYachtState FPrevious;
    alignas(4) TYachtState FLast;
    bool FKnown = false;
    // Shown minus followed at the start of the correction, for X, Z, Heading, Heel, WindAngle.
    float FOffset[5] = {};
    std::uint32_t FCorrectionStart = 0, FCorrectionLength = 0;
};
