#pragma once
// The names a player may have: what a machine refuses to send and a host refuses to take.

#include <string_view>

namespace dplay {

// Whether Name (as it crosses the wire, in Shift-JIS) is at most kMaxNameSize bytes, holds no
// zero byte (the service hands names on as zero-terminated text, so the rest would vanish
// differently on different machines) and is whole Shift-JIS, so that every machine decodes
// the same characters from it. The empty name is valid.
bool ValidPlayerName(std::string_view Name);

} // namespace dplay
