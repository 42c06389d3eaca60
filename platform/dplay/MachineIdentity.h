#pragma once
// A machine's signing key pair and the random numbers it draws, all from one seed: the node
// takes the seed from the system's generator, a simulation from its own seed, so that a run can
// be replayed. The key signs this machine's messages and its claims after a change of host; the
// secret half never leaves the machine.

#include "Wire.h"

#include <cstdint>
#include <span>

namespace dplay {

class TMachineIdentity {
public:
    explicit TMachineIdentity(const TMachineKey& Seed);
    ~TMachineIdentity();
    TMachineIdentity(const TMachineIdentity&) = delete;
    TMachineIdentity& operator=(const TMachineIdentity&) = delete;

    const TMachineKey& Key() const { return Public; }
    TSignature Sign(std::span<const std::uint8_t> Bytes) const;
    // Bytes no one can guess without the seed, new at every call.
    TMachineKey Draw();

    static bool Verify(const TMachineKey& Key, const TSignature& Signature,
                       std::span<const std::uint8_t> Bytes);
    static TMachineKey RandomSeed();

private:
    TMachineKey Seed;
    TMachineKey Public{};
    std::array<std::uint8_t, 64> Secret{};
    std::uint64_t Drawn = 0;
};

} // namespace dplay
