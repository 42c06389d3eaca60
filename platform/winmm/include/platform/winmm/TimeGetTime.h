#pragma once
// The multimedia timer: milliseconds that wrap at 2^32. The game reads time only through a
// TMultimediaClock handed to it, so a test can drive the frame loop millisecond by millisecond.

#include <cstdint>

class TMultimediaClock {
public:
    virtual ~TMultimediaClock() = default;
    virtual std::uint32_t timeGetTime() = 0;
};

// Milliseconds of the monotonic system clock, truncated to 32 bits.
std::uint32_t timeGetTime();

// The real clock.
class TSystemClock final : public TMultimediaClock {
public:
    std::uint32_t timeGetTime() override { return ::timeGetTime(); }
};

// A clock that moves only when told to.
class TManualClock final : public TMultimediaClock {
public:
    explicit TManualClock(std::uint32_t Start = 0) : Now(Start) {}
    std::uint32_t timeGetTime() override { return Now; }
    void Advance(std::uint32_t Ms) { Now += Ms; }
    void Set(std::uint32_t Ms) { Now = Ms; }

private:
    std::uint32_t Now;
};
