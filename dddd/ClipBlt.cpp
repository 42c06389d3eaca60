#include "ClipBlt.h"

#include <cstdint>
#include <utility>

namespace dddd {

namespace {

void Normalise(RECT& R) {
    if (R.left > R.right)
        std::swap(R.left, R.right);
    if (R.top > R.bottom)
        std::swap(R.top, R.bottom);
}

// The arithmetic is that of 32-bit integers, which wrap. Each result is computed in 64 bits and
// then wrapped, so that a huge rectangle gives the wrapped value instead of undefined overflow,
// and the one quotient that does not fit, INT_MIN / -1, wraps instead of trapping.
LONG Wrap(std::int64_t V) {
    return static_cast<LONG>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(V)));
}

LONG Add(LONG A, LONG B) {
    return Wrap(std::int64_t{A} + B);
}

LONG Sub(LONG A, LONG B) {
    return Wrap(std::int64_t{A} - B);
}

// A * B with a 32-bit product, divided by C truncating toward zero.
LONG MulDiv32(LONG A, LONG B, LONG C) {
    return Wrap(std::int64_t{Wrap(std::int64_t{A} * B)} / C);
}

bool FastAxis(LONG& Start, LONG& S0, LONG& S1, LONG C0, LONG C1) {
    const LONG end = Add(Start, Sub(S1, S0));
    if (C1 < Start || C0 > end)
        return false;
    const LONG s1 = S1;
    if (C1 < end)
        S1 = Add(S0, Sub(C1, Start));
    if (C0 > Start) {
        S0 = Sub(s1, Sub(end, C0));
        Start = C0;
    }
    return true;
}

bool ScaledAxis(LONG& D0, LONG& D1, LONG& S0, LONG& S1, LONG C0, LONG C1) {
    const LONG srcLen = Sub(S1, S0), dstLen = Sub(D1, D0);
    if (dstLen == 0)
        return false;
    if (C1 < D0 || C0 > D1)
        return false;
    const LONG s1 = S1, d1 = D1;
    if (C1 < D1) {
        S1 = Add(MulDiv32(Sub(C1, D0), srcLen, dstLen), S0);
        D1 = C1;
    }
    if (C0 > D0) {
        S0 = Sub(s1, MulDiv32(Sub(d1, C0), srcLen, dstLen));
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
