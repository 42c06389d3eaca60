#pragma once
// Vectors and rigid placements (an orthonormal basis and an origin) for frames and the camera.
// Frames never scale, so the inverse of a placement is its transpose.

#include <cmath>

struct TVec3 {
    float X = 0, Y = 0, Z = 0;

    friend TVec3 operator+(TVec3 A, TVec3 B) { return {A.X + B.X, A.Y + B.Y, A.Z + B.Z}; }
    friend TVec3 operator-(TVec3 A, TVec3 B) { return {A.X - B.X, A.Y - B.Y, A.Z - B.Z}; }
    friend TVec3 operator*(TVec3 A, float S) { return {A.X * S, A.Y * S, A.Z * S}; }
    friend TVec3 operator-(TVec3 A) { return {-A.X, -A.Y, -A.Z}; }
};

inline float Dot(TVec3 A, TVec3 B) {
    return A.X * B.X + A.Y * B.Y + A.Z * B.Z;
}
inline TVec3 Cross(TVec3 A, TVec3 B) {
    return {A.Y * B.Z - A.Z * B.Y, A.Z * B.X - A.X * B.Z, A.X * B.Y - A.Y * B.X};
}
inline float Length(TVec3 A) {
    return std::sqrt(Dot(A, A));
}
// The zero vector stays zero.
inline TVec3 Normalized(TVec3 A) {
    float l = Length(A);
    return l > 0 ? A * (1.0f / l) : A;
}

// Maps a point p of the placed space to Origin + p.X * AxisX + p.Y * AxisY + p.Z * AxisZ.
struct TPlacement {
    TVec3 AxisX{1, 0, 0}, AxisY{0, 1, 0}, AxisZ{0, 0, 1};
    TVec3 Origin;

    TVec3 Point(TVec3 P) const { return Origin + Direction(P); }
    TVec3 Direction(TVec3 D) const { return AxisX * D.X + AxisY * D.Y + AxisZ * D.Z; }
    // The inverse mappings: from the outer space into the placed one.
    TVec3 PointIn(TVec3 P) const { return DirectionIn(P - Origin); }
    TVec3 DirectionIn(TVec3 D) const { return {Dot(D, AxisX), Dot(D, AxisY), Dot(D, AxisZ)}; }

    // This placement applied after Inner: Inner maps into this placement's space.
    TPlacement Then(const TPlacement& Inner) const {
        return {Direction(Inner.AxisX), Direction(Inner.AxisY), Direction(Inner.AxisZ),
                Point(Inner.Origin)};
    }
    TPlacement Inverse() const {
        TPlacement r;
        r.AxisX = {AxisX.X, AxisY.X, AxisZ.X};
        r.AxisY = {AxisX.Y, AxisY.Y, AxisZ.Y};
        r.AxisZ = {AxisX.Z, AxisY.Z, AxisZ.Z};
        r.Origin = -r.Direction(Origin);
        return r;
    }
};
