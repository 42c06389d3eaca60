#pragma once
// What the connection dialog tells the player when a step fails, in Japanese: what could not
// be done and, as far as the result code says, why.

#include "ddpd/DdpdDebug.h"

#include <string>

namespace ddpd {

enum class TConnectStep { Search, List, Create, Join };

std::string ConnectFailureText(TConnectStep Step, const EDDPD& Failure);

// A player name longer than the service carries.
extern const char* const kNameTooLongText;
// The line the session list shows when a search found nothing.
extern const char* const kNoSessionFoundText;

} // namespace ddpd
