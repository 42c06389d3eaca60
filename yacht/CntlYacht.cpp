#include "yacht/CntlYacht.h"

#include "YachtMath.h"

#include <cmath>
#include <cstdlib>

namespace {

struct TRange {
    std::int32_t Upper; // inclusive upper bound of |wind angle|
    float Value;
};

constexpr TRange HeelTable[] = {
    {41, 0}, {43, 5}, {60, 10}, {100, 8}, {180, 3},
};

constexpr TRange TrimmedSpeedTable[] = {
    {39, 0.0f},   {41, 0.03f},  {43, 0.08f},  {80, 0.10f},
    {120, 0.12f}, {140, 0.13f}, {150, 0.12f}, {180, 0.11f},
};

constexpr TRange EasedSpeedTable[] = {
    {69, 0.0f}, {109, 0.02f}, {114, 0.04f}, {119, 0.06f}, {150, 0.08f}, {180, 0.10f},
};

template <std::size_t N> float Lookup(const TRange (&Table)[N], std::int32_t A) {
    for (const TRange& r : Table)
        if (A <= r.Upper)
            return r.Value;
    return Table[N - 1].Value;
}

// Constant increments are added in double and rounded once to single when stored: from rest
// the speed then reaches exactly 0.10f on the fifth step, as the tables expect.
float AddD(float A, double B) {
    return static_cast<float>(static_cast<double>(A) + B);
}

float NumberOrZero(float V) {
    return std::isnan(V) ? 0.0f : V;
}

constexpr float kStateLimit = 32000;
constexpr float kWorldLimit = 2000;
constexpr double kSpeedRate = 0.02;
constexpr double kHeelRate = 2;

} // namespace

std::int32_t AngleDiff(std::int32_t A, std::int32_t B) {
    const std::int64_t d = static_cast<std::int64_t>(A) - B;
    // The same result as subtracting or adding 360 until the value is in -179..180.
    return static_cast<std::int32_t>(((d + 179) % 360 + 360) % 360 - 179);
}

float HeelTarget(std::int32_t AbsWindAngle) {
    return Lookup(HeelTable, AbsWindAngle);
}

float SpeedTarget(std::int32_t AbsWindAngle, bool SailsTrimmed) {
    return SailsTrimmed ? Lookup(TrimmedSpeedTable, AbsWindAngle)
                        : Lookup(EasedSpeedTable, AbsWindAngle);
}

void TCntlYacht::Create() {
    State = ResetYachtState();
    FSpeed = 0;
}

TYachtState ClampYachtState(const TYachtState& S) {
    TYachtState c;
    c.X = ClampF(NumberOrZero(S.X), -kStateLimit, kStateLimit);
    c.Z = ClampF(NumberOrZero(S.Z), -kStateLimit, kStateLimit);
    c.Heading = S.Heading;
    c.Heel = ClampF(NumberOrZero(S.Heel), -45, 45);
    c.WindAngle = ClampF(NumberOrZero(S.WindAngle), 0, 180);
    c.Tack = S.Tack;
    c.SailsTrimmed = S.SailsTrimmed;
    c.Spinnaker = S.Spinnaker;
    return c;
}

void TCntlYacht::SetState(const TYachtState& S) {
    State = ClampYachtState(S);
}

void TCntlYacht::Steer(float Delta) {
    // NaN counts as no turn; an infinite delta clamps to a full turn like any other.
    const std::int32_t d = TruncDeg(ClampF(NumberOrZero(Delta), -5, 5));
    const std::int64_t h = (static_cast<std::int64_t>(TruncDeg(State.Heading)) + d + 36000) % 360;
    State.Heading = static_cast<float>(h);
}

void TCntlYacht::Step() {
    State.WindAngle = static_cast<float>(AngleDiff(0, TruncDeg(State.Heading)));
    State.Tack = State.WindAngle < 0 ? 1 : 0;

    const std::int32_t a = std::abs(TruncDeg(State.WindAngle));
    const float heelMagnitude = HeelTarget(a);
    const float heelTarget = State.Tack == 1 ? heelMagnitude : -heelMagnitude;
    if (heelTarget > State.Heel)
        State.Heel = MinF(heelTarget, AddD(State.Heel, kHeelRate));
    else if (heelTarget < State.Heel)
        State.Heel = MaxF(heelTarget, AddD(State.Heel, -kHeelRate));

    // Below the target the speed climbs to it; above, it drops and is floored at 0, not at the
    // target, so it may undershoot for one step.
    const float speedTarget = SpeedTarget(a, State.SailsTrimmed != 0);
    if (FSpeed < speedTarget)
        FSpeed = MinF(speedTarget, AddD(FSpeed, kSpeedRate));
    else if (FSpeed > speedTarget)
        FSpeed = MaxF(0, AddD(FSpeed, -kSpeedRate));

    float dx = 0, dz = FSpeed;
    RotateDeg(TruncDeg(State.Heading), dx, dz);
    State.X = ClampF(State.X + dx, -kWorldLimit, kWorldLimit);
    State.Z = ClampF(State.Z + dz, -kWorldLimit, kWorldLimit);
}
