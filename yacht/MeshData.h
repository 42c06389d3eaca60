#pragma once
// The shapes the hull and sail tables are written in. Indices are positions in the vertex and
// normal lists as they are added to a mesh builder, counted from 0.

#include <array>
#include <cstdint>

struct TMeshPoint {
    float X, Y, Z;
};

struct TMeshCorner {
    std::int32_t Vertex, Normal;
};

struct TMeshColour {
    float R, G, B;
};

struct TTexCoord {
    float U, V;
};

using TFaceCorners = std::array<TMeshCorner, 3>;

inline constexpr TMeshColour kWhite{1, 1, 1};
