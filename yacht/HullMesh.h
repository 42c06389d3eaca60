#pragma once
// The hull: one mesh of 19 vertices and 30 triangles, 8 units long. Yacht-frame axes: +z to
// the bow, +y up, +x to starboard, origin at the foot of the mast on the waterline. The
// topside faces (Textured) carry one bitmap for both sides: the starboard topsides in its top
// 40 % with the deck line along the top edge, the port topsides in its bottom 40 % with the
// deck line along the bottom edge, stern at the left, bow at the right.

#include "MeshData.h"

// The vertices are drawn up with the stern at z = 0 and the bow at z = 8; the mast stands
// 4.9 forward of the stern, so this is added to every authored z when the mesh is built.
inline constexpr float kHullZShift = -4.9f;

struct THullVertex {
    float X, Y, AuthoredZ;
};

// Vertices 10..18 mirror 0..8 in x; 11 and 15 coincide with 1 and 5.
inline constexpr std::array<THullVertex, 19> kHullVertices{{
    {1.4f, 2.7f, 3.4f},  //  0 cabin top, starboard
    {0.0f, 2.0f, 8.0f},  //  1 bow, deck level
    {1.2f, 2.0f, 5.8f},  //  2 deck edge, starboard
    {1.9f, 2.0f, 3.1f},  //  3 deck edge, starboard, widest
    {1.7f, 1.6f, 0.9f},  //  4 stern corner of the deck, starboard
    {0.0f, 0.0f, 7.8f},  //  5 stem at the waterline
    {1.0f, 0.0f, 5.3f},  //  6 waterline, starboard
    {1.5f, 0.0f, 2.4f},  //  7 waterline, starboard
    {1.2f, 0.0f, 0.0f},  //  8 waterline at the transom, starboard
    {0.0f, -1.0f, 3.1f}, //  9 keel point
    {-1.4f, 2.7f, 3.4f}, // 10 cabin top, port
    {0.0f, 2.0f, 8.0f},  // 11 bow, deck level
    {-1.2f, 2.0f, 5.8f}, // 12 deck edge, port
    {-1.9f, 2.0f, 3.1f}, // 13 deck edge, port
    {-1.7f, 1.6f, 0.9f}, // 14 stern corner of the deck, port
    {0.0f, 0.0f, 7.8f},  // 15 stem at the waterline
    {-1.0f, 0.0f, 5.3f}, // 16 waterline, port
    {-1.5f, 0.0f, 2.4f}, // 17 waterline, port
    {-1.2f, 0.0f, 0.0f}, // 18 waterline at the transom, port
}};

// Given as drawn, not of unit length: the shading normalises them.
inline constexpr std::array<TMeshPoint, 22> kHullNormals{{
    {0, 1, 0},             //  0
    {0, 1, 0.3f},          //  1
    {0, 0.3f, -1},         //  2
    {1, 0.1f, 0},          //  3
    {-1, 0.1f, 0},         //  4
    {1, -0.2f, 0.5f},      //  5
    {-1, -0.2f, 0.5f},     //  6
    {1, -0.2f, 0.2f},      //  7
    {-1, -0.2f, 0.2f},     //  8
    {1, -0.2f, 0},         //  9
    {-1, -0.2f, 0},        // 10
    {1, -0.2f, -0.2f},     // 11
    {-1, -0.2f, -0.2f},    // 12
    {0.7f, -0.7f, 0.5f},   // 13
    {-0.7f, -0.7f, 0.5f},  // 14
    {0.6f, -0.7f, 0.2f},   // 15
    {-0.6f, -0.7f, 0.2f},  // 16
    {0.5f, -0.7f, 0},      // 17
    {-0.5f, -0.7f, 0},     // 18
    {0.3f, -0.7f, -0.2f},  // 19
    {-0.3f, -0.7f, -0.2f}, // 20
    {0, -1, 0},            // 21
}};

struct THullFace {
    TFaceCorners Corners; // vertex/normal, in the order added
    TMeshColour Colour;
    bool Textured; // a topside face: carries the hull texture when there is one
};

inline constexpr TMeshColour kCabinBlue{0, 0, 0.4f};
inline constexpr bool kTopside = true;
inline constexpr bool kPlain = false;

inline constexpr std::array<THullFace, 30> kHullFaces{{
    {{{{1, 0}, {2, 0}, {12, 0}}}, kWhite, kPlain},        //  0 foredeck
    {{{{12, 1}, {2, 1}, {0, 1}}}, kWhite, kPlain},        //  1 cabin top, sloping up aft
    {{{{0, 1}, {10, 1}, {12, 1}}}, kWhite, kPlain},       //  2 cabin top
    {{{{0, 2}, {3, 2}, {13, 2}}}, kWhite, kPlain},        //  3 after face of the cabin
    {{{{13, 2}, {10, 2}, {0, 2}}}, kWhite, kPlain},       //  4 after face of the cabin
    {{{{14, 0}, {13, 0}, {3, 0}}}, kWhite, kPlain},       //  5 after deck
    {{{{3, 0}, {4, 0}, {14, 0}}}, kWhite, kPlain},        //  6 after deck
    {{{{18, 2}, {14, 2}, {4, 2}}}, kWhite, kPlain},       //  7 transom
    {{{{4, 2}, {8, 2}, {18, 2}}}, kWhite, kPlain},        //  8 transom
    {{{{0, 3}, {2, 3}, {3, 3}}}, kCabinBlue, kPlain},     //  9 cabin side, starboard
    {{{{2, 7}, {1, 5}, {5, 13}}}, kWhite, kTopside},      // 10 topsides, starboard
    {{{{5, 13}, {6, 15}, {2, 7}}}, kWhite, kTopside},     // 11 topsides, starboard
    {{{{3, 9}, {2, 7}, {6, 15}}}, kWhite, kTopside},      // 12 topsides, starboard
    {{{{6, 15}, {7, 17}, {3, 9}}}, kWhite, kTopside},     // 13 topsides, starboard
    {{{{4, 11}, {3, 9}, {7, 17}}}, kWhite, kTopside},     // 14 topsides, starboard
    {{{{7, 17}, {8, 19}, {4, 11}}}, kWhite, kTopside},    // 15 topsides, starboard
    {{{{9, 21}, {6, 15}, {5, 13}}}, kWhite, kPlain},      // 16 underbody, starboard
    {{{{9, 21}, {7, 17}, {6, 15}}}, kWhite, kPlain},      // 17 underbody, starboard
    {{{{9, 21}, {8, 19}, {7, 17}}}, kWhite, kPlain},      // 18 underbody, starboard
    {{{{10, 4}, {13, 4}, {12, 4}}}, kCabinBlue, kPlain},  // 19 cabin side, port
    {{{{15, 14}, {11, 6}, {12, 8}}}, kWhite, kTopside},   // 20 topsides, port
    {{{{12, 8}, {16, 16}, {15, 14}}}, kWhite, kTopside},  // 21 topsides, port
    {{{{16, 16}, {12, 8}, {13, 10}}}, kWhite, kTopside},  // 22 topsides, port
    {{{{13, 10}, {17, 18}, {16, 16}}}, kWhite, kTopside}, // 23 topsides, port
    {{{{17, 18}, {13, 10}, {14, 12}}}, kWhite, kTopside}, // 24 topsides, port
    {{{{14, 12}, {18, 20}, {17, 18}}}, kWhite, kTopside}, // 25 topsides, port
    {{{{9, 21}, {15, 14}, {16, 16}}}, kWhite, kPlain},    // 26 underbody, port
    {{{{9, 21}, {16, 16}, {17, 18}}}, kWhite, kPlain},    // 27 underbody, port
    {{{{9, 21}, {17, 18}, {18, 20}}}, kWhite, kPlain},    // 28 underbody, port
    {{{{9, 21}, {18, 20}, {8, 19}}}, kWhite, kPlain},     // 29 underbody aft, across the transom
}};

// One (u, v) per topside vertex, the same in every face that uses it. They follow
// u = authored z / 8 and v = 0.2 (2 - y) to starboard, 1 - 0.2 (2 - y) to port; the stern
// corners of the deck sit lower (y = 1.6), hence their 0.08 and 0.92.
struct THullTexCoord {
    std::int32_t Vertex;
    TTexCoord UV;
};

inline constexpr std::array<THullTexCoord, 16> kHullTexCoords{{
    {1, {1, 0}},
    {11, {1, 1}}, //
    {2, {0.725f, 0}},
    {12, {0.725f, 1}}, //
    {3, {0.3875f, 0}},
    {13, {0.3875f, 1}}, //
    {4, {0.1125f, 0.08f}},
    {14, {0.1125f, 0.92f}}, //
    {5, {0.975f, 0.4f}},
    {15, {0.975f, 0.6f}}, //
    {6, {0.6625f, 0.4f}},
    {16, {0.6625f, 0.6f}}, //
    {7, {0.3f, 0.4f}},
    {17, {0.3f, 0.6f}}, //
    {8, {0, 0.4f}},
    {18, {0, 0.6f}}, //
}};

// The (u, v) of a topside vertex; (0, 0) for a vertex that no textured face uses.
constexpr TTexCoord HullTexCoord(std::int32_t Vertex) {
    for (const THullTexCoord& t : kHullTexCoords)
        if (t.Vertex == Vertex)
            return t.UV;
    return {0, 0};
}
