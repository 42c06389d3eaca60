#include "dddd/ClipBlt.h"

#include <utility>

namespace dddd {

namespace {

void Normalise(RECT& R) {
    if (R.left > R.right)
        std::swap(R.left, R.right);
    if (R.top > R.bottom)
        std::swap(R.top, R.bottom);
}

// The products are those of 32-bit integers; computed wider so that a huge rectangle wraps
// as it would there instead of overflowing.
LONG MulDiv32(LONG A, LONG B, LONG C) {
    const auto product =
        static_cast<std::int32_t>(static_cast<std::uint32_t>(A) * static_cast<std::uint32_t>(B));
    return product / C;
}

bool FastAxis(LONG& Start, LONG& S0, LONG& S1, LONG C0, LONG C1) {
    const LONG end = Start + (S1 - S0);
    if (C1 < Start || C0 > end)
        return false;
    const LONG s1 = S1;
    if (C1 < end)
        S1 = S0 + (C1 - Start);
    if (C0 > Start) {
        S0 = s1 - (end - C0);
        Start = C0;
    }
    return true;
}

bool ScaledAxis(LONG& D0, LONG& D1, LONG& S0, LONG& S1, LONG C0, LONG C1) {
    const LONG srcLen = S1 - S0, dstLen = D1 - D0;
    if (dstLen == 0)
        return false;
    if (C1 < D0 || C0 > D1)
        return false;
    const LONG s1 = S1, d1 = D1;
    if (C1 < D1) {
        S1 = MulDiv32(C1 - D0, srcLen, dstLen) + S0;
        D1 = C1;
    }
    if (C0 > D0) {
        S0 = s1 - MulDiv32(d1 - C0, srcLen, dstLen);
        D0 = C0;
    }
    return true;
}

} // namespace

bool ClipBltFast(LONG& X, LONG& Y, RECT& Src, RECT Clip) {
    Normalise(Src);
    Normalise(Clip);
    return FastAxis(X, Src.left, Src.right, Clip.left, Clip.right) &&
           FastAxis(Y, Src.top, Src.bottom, Clip.top, Clip.bottom);
}

bool ClipBlt(RECT& Dst, RECT& Src, RECT Clip) {
    Normalise(Src);
    Normalise(Dst);
    Normalise(Clip);
    return ScaledAxis(Dst.left, Dst.right, Src.left, Src.right, Clip.left, Clip.right) &&
           ScaledAxis(Dst.top, Dst.bottom, Src.top, Src.bottom, Clip.top, Clip.bottom);
}

} // namespace dddd
