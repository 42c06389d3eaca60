#pragma once
// Asking an address server (STUN) where this machine's datagrams come from, as seen outside
// its home: from the session socket itself, since a router gives each socket its own outside
// port. Only the binding request and its answer; the answer is another machine's bytes.

#include "SessionCore.h"

#include <array>
#include <optional>
#include <span>
#include <vector>

namespace dplay {

using TStunTransaction = std::array<std::uint8_t, 12>;

std::vector<std::uint8_t> EncodeBindingRequest(const TStunTransaction& Transaction);
// Whether Bytes look like any STUN message (the first bits, the magic cookie, the length).
bool IsStun(std::span<const std::uint8_t> Bytes);
// The outside address in a success answer to Transaction; nothing for anything else.
std::optional<TAddress> DecodeBindingAnswer(std::span<const std::uint8_t> Bytes,
                                            const TStunTransaction& Transaction);

} // namespace dplay
