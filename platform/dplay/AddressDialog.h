#pragma once
// The TCP/IP provider's own question when the search starts without an address.

#include <string>

namespace dplay {

// Asks for a host name or IP address (empty: search the local network), offering Address as it
// comes in. False when the player cancelled. Needs the GUI thread.
bool AskHostAddress(std::string& Address);

} // namespace dplay
