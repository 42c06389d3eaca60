#include "yacht/ShownYacht.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

// B - A brought into -180..180: the shorter turn from A to B.
float Turn(float A, float B) {
    const float d = std::remainder(B - A, 360.0f);
    return std::isfinite(d) ? d : 0.0f;
}

// Angle brought into Low..Low + 360.
float Wrap(float Angle, float Low) {
    float a = std::fmod(Angle - Low, 360.0f);
    if (a < 0)
        a += 360;
    return a + Low;
}

float Finite(float V) {
    return std::isfinite(V) ? V : 0.0f;
}

float Lerp(float A, float B, float Part) {
    return std::lerp(Finite(A), Finite(B), Part);
}

// The pose moved by Offset, scaled by Weight, in the order of TShownYacht::FOffset.
TYachtState Moved(TYachtState S, const float (&Offset)[5], float Weight) {
    S.X += Offset[0] * Weight;
    S.Z += Offset[1] * Weight;
    S.Heading = Wrap(S.Heading + Offset[2] * Weight, 0);
    S.Heel += Offset[3] * Weight;
    S.WindAngle = Wrap(S.WindAngle + Offset[4] * Weight, -180);
    return S;
}

} // namespace

TYachtState BlendYachtStates(const TYachtState& A, const TYachtState& B, float Part) {
    // Written so that a NaN part shows the earlier step.
    if (!(Part > 0))
        return A;
    if (Part >= 1)
        return B;
    TYachtState s = Part < 0.5f ? A : B;
    s.X = Lerp(A.X, B.X, Part);
    s.Z = Lerp(A.Z, B.Z, Part);
    s.Heel = Lerp(A.Heel, B.Heel, Part);
    s.Heading = Wrap(Finite(A.Heading) + Turn(Finite(A.Heading), Finite(B.Heading)) * Part, 0);
    s.WindAngle =
        Wrap(Finite(A.WindAngle) + Turn(Finite(A.WindAngle), Finite(B.WindAngle)) * Part, -180);
    return s;
}

void TShownYacht::Reset(const TYachtState& State) {
    FKnown = true;
    FPrevious = FLast = State;
    std::fill(std::begin(FOffset), std::end(FOffset), 0.0f);
    FCorrectionLength = 0;
}

void TShownYacht::Step(const TYachtState& State) {
    if (!FKnown)
        return Reset(State);
    FPrevious = FLast;
    FLast = State;
}

void TShownYacht::Replace(const TYachtState& State, float Part, std::uint32_t Now) {
    if (!FKnown)
        return Reset(State);
    const TYachtState shown = Pose(Part, Now);
    // The step under way keeps its motion, moved onto the new course, so the yacht does not
    // stop for the rest of the step while the correction runs.
    TYachtState previous = State;
    previous.X = Finite(State.X) - (Finite(FLast.X) - Finite(FPrevious.X));
    previous.Z = Finite(State.Z) - (Finite(FLast.Z) - Finite(FPrevious.Z));
    previous.Heading = Wrap(Finite(State.Heading) - Turn(FPrevious.Heading, FLast.Heading), 0);
    previous.Heel = Finite(State.Heel) - (Finite(FLast.Heel) - Finite(FPrevious.Heel));
    previous.WindAngle =
        Wrap(Finite(State.WindAngle) - Turn(FPrevious.WindAngle, FLast.WindAngle), -180);
    FPrevious = previous;
    FLast = State;
    const TYachtState followed = BlendYachtStates(FPrevious, FLast, Part);
    FOffset[0] = Finite(shown.X - followed.X);
    FOffset[1] = Finite(shown.Z - followed.Z);
    FOffset[2] = Turn(followed.Heading, shown.Heading);
    FOffset[3] = Finite(shown.Heel - followed.Heel);
    FOffset[4] = Turn(followed.WindAngle, shown.WindAngle);
    // Long enough that no part closes faster than a step could move it, within the bounds.
    const float steps =
        std::max({std::hypot(FOffset[0], FOffset[1]) / kStepDistanceLimit,
                  std::fabs(FOffset[2]) / kStepTurnLimit, std::fabs(FOffset[3]) / kStepHeelLimit,
                  std::fabs(FOffset[4]) / kStepTurnLimit});
    const float ms = std::clamp(steps * 200.0f, static_cast<float>(kCorrectionMinMs),
                                static_cast<float>(kCorrectionMaxMs));
    FCorrectionStart = Now;
    FCorrectionLength = static_cast<std::uint32_t>(std::ceil(ms));
}

TYachtState TShownYacht::Pose(float Part, std::uint32_t Now) const {
    const TYachtState followed = BlendYachtStates(FPrevious, FLast, Part);
    const std::uint32_t elapsed = Now - FCorrectionStart; // the clock wraps harmlessly
    if (FCorrectionLength == 0 || elapsed >= FCorrectionLength)
        return followed;
    const float left = 1.0f - static_cast<float>(elapsed) / static_cast<float>(FCorrectionLength);
    return Moved(followed, FOffset, left);
}
