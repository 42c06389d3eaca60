#pragma once
// The sails, each in its own sail frame's axes (+z to the bow, +y up, +x to starboard before
// the frame turns). A sail is seen from both sides, so every face is listed twice, once in
// each winding. Sails are drawn unlit: the normals are kept as they were drawn up.

#include "MeshData.h"

// Main sail, at the foot of the mast. Positions are for the mesh bellied to starboard; the
// port one is built with every x negated (only the belly point is off the centre line).
inline constexpr std::array<TMeshPoint, 4> kMainSailVertices{{
    {0, 14.2f, 0},    // 0 head, at the masthead
    {0, 3.2f, 0},     // 1 tack, at the gooseneck
    {0, 3.2f, -3},    // 2 clew, at the end of the boom
    {0.3f, 8.2f, -2}, // 3 belly point
}};

inline constexpr std::array<TMeshPoint, 8> kMainSailNormals{{
    {0, -1, 0},
    {0, -1, 0},
    {0, -1, 0},
    {0, -1, 0},
    {0, -1, 0},
    {0, -1, 0},
    {0, -1, 0},
    {0, -1, 0},
}};

inline constexpr std::array<TFaceCorners, 4> kMainSailFaces{{
    {{{1, 1}, {3, 3}, {0, 0}}},
    {{{1, 1}, {2, 2}, {3, 3}}},
    {{{1, 5}, {0, 4}, {3, 7}}},
    {{{1, 5}, {3, 7}, {2, 6}}},
}};

inline constexpr TMeshColour kMainSailColour = kWhite;

// Jib, at the tack of the forestay; its luff runs straight up its own y axis. Three shapes,
// flattest to fullest, bellied to starboard; the port ones negate every x. The fuller the
// jib, the further its foot and leech stand out and the shorter its foot.
inline constexpr std::array<std::array<TMeshPoint, 7>, 3> kJibVertices{{
    {{
        {0, 10, 0},            // 0 head
        {0, 0, 0},             // 1 tack
        {0.14f, 0.7f, -1.44f}, // 2 foot, near the tack
        {0.14f, 1.6f, -3.0f},  // 3 foot, near the clew
        {0, 2.4f, -4.4f},      // 4 clew
        {0.14f, 5.0f, -3.0f},  // 5 leech, low
        {0.14f, 7.5f, -1.44f}, // 6 leech, high
    }},
    {{
        {0, 10, 0},
        {0, 0, 0},
        {0.72f, 0.7f, -1.21f},
        {0.72f, 1.6f, -2.6f},
        {0, 2.4f, -3.8f},
        {0.72f, 5.0f, -2.6f},
        {0.72f, 7.5f, -1.21f},
    }},
    {{
        {0, 10, 0},
        {0, 0, 0},
        {1.24f, 0.7f, -0.72f},
        {1.24f, 1.6f, -2.1f},
        {0, 2.4f, -2.8f},
        {1.24f, 5.0f, -2.1f},
        {1.24f, 7.5f, -0.72f},
    }},
}};

inline constexpr std::array<TMeshPoint, 10> kJibNormals{{
    {0, -1, 0},
    {0, -1, 0},
    {0, -1, 0},
    {0, -1, 0},
    {0, -1, 0},
    {0, -1, 0},
    {0, -1, 0},
    {0, -1, 0},
    {0, -1, 0},
    {0, -1, 0},
}};

inline constexpr std::array<TFaceCorners, 10> kJibFaces{{
    {{{6, 0}, {0, 0}, {1, 0}}}, //
    {{{1, 1}, {2, 1}, {6, 1}}}, //
    {{{5, 2}, {6, 2}, {2, 2}}}, //
    {{{2, 3}, {3, 3}, {5, 3}}}, //
    {{{4, 4}, {5, 4}, {3, 4}}}, //
    {{{1, 5}, {0, 5}, {6, 5}}}, // 5..9: 0..4 in the other winding
    {{{6, 6}, {2, 6}, {1, 6}}}, //
    {{{2, 7}, {6, 7}, {5, 7}}}, //
    {{{5, 8}, {3, 8}, {2, 8}}}, //
    {{{3, 9}, {5, 9}, {4, 9}}}, //
}};

inline constexpr TMeshColour kJibColour{0.6f, 0.6f, 0.3f};

// Spinnaker, one per yacht, at the foot of the mast, standing forward of it. Each vertex has
// one (u, v) in every face: the centre line at u = 0.5, the wings at 0.8 (starboard) and 0.2
// (port), v from 0 at the head to 1 at the foot; the bitmap's outer fifths are not used.
struct TSpinnakerVertex {
    TMeshPoint Position;
    TTexCoord UV;
};

inline constexpr std::array<TSpinnakerVertex, 10> kSpinnakerVertices{{
    {{0, 12, 0}, {0.5f, 0}},              // 0 head
    {{0, 8.2f, 3}, {0.5f, 0.5f}},         // 1 centre line, high
    {{0, 6.3f, 3.6f}, {0.5f, 0.75f}},     // 2 centre line, middle
    {{0, 4.1f, 3.3f}, {0.5f, 1}},         // 3 centre line, foot
    {{1.7f, 8.1f, 2.1f}, {0.8f, 0.5f}},   // 4 starboard wing, high
    {{1.8f, 6.2f, 2.3f}, {0.8f, 0.75f}},  // 5 starboard wing, middle
    {{1.6f, 4.3f, 1.9f}, {0.8f, 1}},      // 6 starboard wing, foot
    {{-1.7f, 8.1f, 2.1f}, {0.2f, 0.5f}},  // 7 port wing, high
    {{-1.8f, 6.2f, 2.3f}, {0.2f, 0.75f}}, // 8 port wing, middle
    {{-1.6f, 4.3f, 1.9f}, {0.2f, 1}},     // 9 port wing, foot
}};

// 0..9 for the faces seen from aft, 10..19 for the same faces seen from forward.
inline constexpr std::array<TMeshPoint, 20> kSpinnakerNormals{{
    {0, -1, -1},      {0, -0.2f, -1},   {0, 0.2f, -1},   {0, 0.5f, -1},     {1, -0.2f, -1},
    {1, 0.2f, -0.5f}, {1, 0.4f, -0.5f}, {-1, -0.2f, -1}, {-1, 0.2f, -0.5f}, {-1, 0.4f, -0.5f},
    {0, 1, 1},        {0, 0.2f, 1},     {0, -0.2f, 1},   {0, -0.5f, 1},     {1, 0.2f, 1},
    {1, -0.2f, 0.5f}, {1, -0.4f, 0.5f}, {-1, 0.2f, 1},   {-1, -0.2f, 0.5f}, {-1, -0.4f, 0.5f},
}};

// Faces 0..9 use the normal of the same index as each corner's vertex; faces 10..19 are
// faces 0..9 in the other winding and use that index + 10.
inline constexpr std::array<TFaceCorners, 20> kSpinnakerFaces{{
    {{{0, 0}, {4, 4}, {1, 1}}},    {{{4, 4}, {5, 5}, {2, 2}}},    //  0,  1
    {{{2, 2}, {1, 1}, {4, 4}}},    {{{5, 5}, {6, 6}, {3, 3}}},    //  2,  3
    {{{3, 3}, {2, 2}, {5, 5}}},    {{{0, 0}, {1, 1}, {7, 7}}},    //  4,  5
    {{{8, 8}, {7, 7}, {1, 1}}},    {{{1, 1}, {2, 2}, {8, 8}}},    //  6,  7
    {{{9, 9}, {8, 8}, {2, 2}}},    {{{2, 2}, {3, 3}, {9, 9}}},    //  8,  9
    {{{0, 10}, {1, 11}, {4, 14}}}, {{{4, 14}, {2, 12}, {5, 15}}}, // 10, 11
    {{{2, 12}, {4, 14}, {1, 11}}}, {{{5, 15}, {3, 13}, {6, 16}}}, // 12, 13
    {{{3, 13}, {5, 15}, {2, 12}}}, {{{0, 10}, {7, 17}, {1, 11}}}, // 14, 15
    {{{8, 18}, {1, 11}, {7, 17}}}, {{{1, 11}, {8, 18}, {2, 12}}}, // 16, 17
    {{{9, 19}, {2, 12}, {8, 18}}}, {{{2, 12}, {9, 19}, {3, 13}}}, // 18, 19
}};

inline constexpr TMeshColour kSpinnakerColour = kWhite;
