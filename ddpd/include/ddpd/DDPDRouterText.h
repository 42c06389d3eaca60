#pragma once
// What the player is told about the home router, in Japanese, for a line in the chat window:
// the address to give to friends, or why friends elsewhere may not reach this machine and what
// to do about it. The game stays playable on the local network in every case.

#include "platform/dplay/DPlay.h"

#include <string>

namespace ddpd {

// Empty for a record this game does not know (a newer kind).
std::string RouterNoticeText(const DPMSG_MAREVO_ROUTER& Notice);

} // namespace ddpd
