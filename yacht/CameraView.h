#pragma once
// Where the camera sits for each view mode, relative to the first yacht. The scene and every
// drawing of it beside another renderer take them from here, so the pictures stay comparable.

namespace camera_view {

struct TVector {
    float X = 0, Y = 0, Z = 0;
};

// View 0, on board: 3.05 up and 3.2 astern of the mast in the yacht's own (heeled) axes,
// looking level along the heading.
inline constexpr TVector kOnBoardOffset{0, 3.05f, -3.2f};

// Views 1 and 2 look along Direction with Up in world axes, whatever the heading, and then
// move by Offset along the camera's own axes.
struct TFollowView {
    TVector Direction, Up, Offset;
};
// From above and astern.
inline constexpr TFollowView kAbove{{0, -0.34f, 0.93f}, {0, 1, -1}, {0, 5, -30}};
// From astern and a little above, looking slightly up.
inline constexpr TFollowView kAstern{{0, 0.173f, 0.984f}, {0, 1, -1}, {0, 6, -20}};

} // namespace camera_view
