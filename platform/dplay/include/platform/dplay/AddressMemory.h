#pragma once
// The TCP/IP provider's memory of the last host address a player typed, which its address
// question offers first, and the internet lobby's of the last lobby server (at first the one
// the game was built with, if any). The platform's provider keeps such a memory for every program
// on the machine; ours keeps it for the process, and a program that remembers it between runs hands
// it in at start and reads it back at the end.

#include <string>

namespace dplay {

std::string LastHostAddress();
void SetLastHostAddress(const std::string& Address);
std::string LastLobbyServer();
void SetLastLobbyServer(const std::string& Server);

} // namespace dplay
