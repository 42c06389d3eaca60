#include "YachtMath.h"

#include <cmath>
#include <numbers>

std::int32_t TruncDeg(float Angle) {
    if (!std::isfinite(Angle))
        return 0;
    double t = std::trunc(static_cast<double>(Angle));
    if (t >= 2147483648.0 || t < -2147483648.0)
        t = std::fmod(t, 360.0);
    return static_cast<std::int32_t>(t);
}

namespace {

// Degrees reduced with (a + 360000) mod 360 (truncating mod, as the model always did), then
// turned into single-precision radians: the scene and the model must agree to the bit.
double RadiansOf(std::int32_t Degrees) {
    const std::int64_t reduced = (static_cast<std::int64_t>(Degrees) + 360000) % 360;
    return static_cast<float>(static_cast<double>(reduced) * std::numbers::pi / 180.0);
}

} // namespace

void RotateDeg(std::int32_t Angle, float& X, float& Y) {
    const double th = RadiansOf(Angle);
    const double c = std::cos(th), s = std::sin(th);
    const double x = X, y = Y;
    X = static_cast<float>(x * c - y * s);
    Y = static_cast<float>(x * s + y * c);
}

void HeadingVector(float& DX, float& DZ, float Heading) {
    const double th = RadiansOf(TruncDeg(Heading));
    DX = static_cast<float>(-std::sin(th));
    DZ = static_cast<float>(std::cos(th));
}

void UpVector(float& UX, float& UY, float& UZ, float Heel, float Heading) {
    float uy = 1, s = 0;
    RotateDeg(TruncDeg(Heel), uy, s);
    float ux = -s, uz = 0;
    RotateDeg(TruncDeg(Heading), ux, uz);
    UX = ux;
    UY = uy;
    UZ = uz;
}

namespace {

bool Whole(float Angle) {
    return !std::isfinite(Angle) || Angle == std::trunc(Angle);
}

double FractionalRadians(float Degrees) {
    return static_cast<float>(std::fmod(static_cast<double>(Degrees), 360.0) * std::numbers::pi /
                              180.0);
}

} // namespace

void FractionalHeadingVector(float& DX, float& DZ, float Heading) {
    if (Whole(Heading))
        return HeadingVector(DX, DZ, Heading);
    const double th = FractionalRadians(Heading);
    DX = static_cast<float>(-std::sin(th));
    DZ = static_cast<float>(std::cos(th));
}

void FractionalUpVector(float& UX, float& UY, float& UZ, float Heel, float Heading) {
    if (Whole(Heel) && Whole(Heading))
        return UpVector(UX, UY, UZ, Heel, Heading);
    const double heel = FractionalRadians(Heel), heading = FractionalRadians(Heading);
    const double uy = std::cos(heel), s = std::sin(heel);
    const double ux = -s;
    UX = static_cast<float>(ux * std::cos(heading));
    UY = static_cast<float>(uy);
    UZ = static_cast<float>(ux * std::sin(heading));
}
