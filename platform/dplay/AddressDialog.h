#pragma once
// The providers' own questions when the search starts without an address.

#include <string>

namespace dplay {

// Asks for a host name or IP address (empty: search the local network), offering Address as it
// comes in. False when the player cancelled. Needs the GUI thread.
bool AskHostAddress(std::string& Address);
// Asks for the internet lobby server's name, offering Server. False when the player cancelled
// or gave none.
bool AskLobbyServer(std::string& Server);

} // namespace dplay
