#pragma once
// SHA-256 (FIPS 180-4), for the machine keys: a host must not be able to forge a secret from
// the hash it was shown, so a plain checksum will not do.

#include <array>
#include <cstdint>
#include <span>

namespace dplay {

std::array<std::uint8_t, 32> Sha256(std::span<const std::uint8_t> Bytes);

} // namespace dplay
