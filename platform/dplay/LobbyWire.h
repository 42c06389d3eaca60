#pragma once
// What machines tell each other through the lobby's room, as the text of elements of our own:
// a host's session and where to reach it, and a joiner's wish to be let in. The lobby, and
// anyone in the room, may say anything, so every decoder refuses what is not exactly what one
// of our machines sends, and an address no machine on the internet could have.

#include "SessionCore.h"
#include "Wire.h"

#include <optional>
#include <string>
#include <string_view>

namespace dplay {

// Longest text any element of ours carries; a longer one is refused unread.
inline constexpr std::size_t kMaxLobbyText = 512;

// A session a host announces: what the local search would answer, where its router lets
// joiners in (Reply.SessionPort is Host's port), and where its relay takes datagrams for it
// from joiners no punch can reach (Ip 0: none).
struct TLobbySession {
    TSessionReply Reply;
    TAddress Host;
    TAddress Relay;
};

// A joiner asks the host of Instance to open its router towards From.
struct TPunchRequest {
    GUID Instance{};
    TAddress From;
};

std::string EncodeLobbySession(const TSessionReply& Reply, TAddress Host, TAddress Relay = {});
std::optional<TLobbySession> DecodeLobbySession(std::string_view Text);
std::string EncodePunchRequest(const TPunchRequest& Request);
std::optional<TPunchRequest> DecodePunchRequest(std::string_view Text);

// Whether a machine on the internet could be at Address: not this machine, nobody (0.0.0.0/8),
// a group or the reserved and broadcast range, nor port 0.
bool PlausiblePeer(TAddress Address);

} // namespace dplay
