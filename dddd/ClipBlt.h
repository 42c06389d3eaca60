#pragma once
// The display component's own clipping of a presentation blit against the screen, before the
// driver sees it. Both answer whether anything is left to copy and cut the rectangles to it.

#include "platform/com/Com.h"

namespace dddd {

// An unscaled copy of Src to (X, Y): cuts Src and moves X, Y so that the copy stays in Clip.
// Edges that touch Clip still count as inside.
bool ClipBltFast(LONG& X, LONG& Y, RECT& Src, RECT Clip);

// A scaled copy of Src onto Dst: cuts Dst to Clip and Src in proportion (32-bit products,
// truncating division). A destination without width or height keeps nothing.
bool ClipBlt(RECT& Dst, RECT& Src, RECT Clip);

} // namespace dddd
