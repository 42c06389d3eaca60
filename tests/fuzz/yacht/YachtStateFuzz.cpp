// States arrive from other machines as raw bytes: whatever they hold, the model must keep the
// yacht finite and inside the world, and never trap.
#include "yacht/CntlYacht.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    if (Size < sizeof(TYachtState))
        return 0;
    TYachtState in;
    std::memcpy(&in, Data, sizeof in);
    TCntlYacht yacht;
    yacht.SetState(in);
    float steer = 0;
    if (Size >= sizeof(TYachtState) + sizeof(float))
        std::memcpy(&steer, Data + sizeof(TYachtState), sizeof steer);
    for (int i = 0; i < 4; ++i) {
        yacht.Steer(steer);
        yacht.Step();
    }
    const TYachtState s = yacht.GetState();
    if (!std::isfinite(s.X) || !std::isfinite(s.Z) || std::fabs(s.X) > 2000 ||
        std::fabs(s.Z) > 2000 || !(std::fabs(s.Heel) <= 45) || !(s.WindAngle >= -179) ||
        !(s.WindAngle <= 180) || s.Reserved != 0 || !(yacht.Speed() >= 0))
        std::abort();
    return 0;
}
