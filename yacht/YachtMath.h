#pragma once
// Vector routines shared by the motion model and the scene. Angles are whole degrees,
// truncated toward zero. Every routine is defined for any float bit pattern, because
// states arrive from the network unchecked: NaN and infinities count as 0 degrees.

#include <cstdint>

// B if A < B, else A (so a NaN in A passes through).
inline float MaxF(float A, float B) {
    return A < B ? B : A;
}
// B if A > B, else A.
inline float MinF(float A, float B) {
    return A > B ? B : A;
}
// MaxF(MinF(Value, Upper), Lower).
inline float ClampF(float Value, float Lower, float Upper) {
    return MaxF(MinF(Value, Upper), Lower);
}

// trunc(Angle) as an integer for every float: NaN and infinities give 0, values beyond the
// 32-bit range are first reduced modulo 360 (which keeps the direction they stand for).
std::int32_t TruncDeg(float Angle);

// Rotates (X, Y) by Angle degrees: X' = X cos - Y sin, Y' = X sin + Y cos.
void RotateDeg(std::int32_t Angle, float& X, float& Y);
// (DX, DZ) = (-sin h, cos h) for h = trunc(Heading): the horizontal forward vector.
void HeadingVector(float& DX, float& DZ, float Heading);
// The mast direction of a yacht heeled by Heel at Heading (both truncated to whole degrees).
void UpVector(float& UX, float& UY, float& UZ, float Heel, float Heading);

// As HeadingVector and UpVector, with the angles' fractions kept; a whole angle gives the same
// bits as they do, so a pose that lands on a step draws exactly as the step.
void FractionalHeadingVector(float& DX, float& DZ, float Heading);
void FractionalUpVector(float& UX, float& UY, float& UZ, float Heel, float Heading);
