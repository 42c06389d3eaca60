#pragma once
// Finding sessions: a query datagram to one host (or, only when the player asked for it, to the
// local network) on the query port, and the answers collected until the time is up. A search
// at one address ends as soon as that host has answered or refused.

#include "Wire.h"

#include <functional>
#include <string>
#include <vector>

namespace dplay {

struct TFoundSession {
    TSessionReply Reply;
    std::uint32_t Ip = 0; // network order
};

struct TSearchRequest {
    std::string Host; // empty: broadcast on the local network
    std::uint16_t QueryPort = kDefaultQueryPort;
    GUID Application{};
    int TimeoutMs = 1000;
    // Called every few milliseconds while waiting (lets the caller's paints through).
    std::function<void()> Pump;
};

// DP_OK with the sessions of Application found (no duplicates), DPERR_NOCONNECTION when Host
// cannot be resolved or no socket can be had.
HRESULT SearchSessions(const TSearchRequest& Request, std::vector<TFoundSession>& Found);

// Splits "address:port" as a host shows it to friends (its router may have given the query
// port another number outside); Host without a port, or with anything but 1..65535 after its
// last colon, is left whole and Port unchanged.
void SplitHostPort(std::string& Host, std::uint16_t& Port);

// The IPv4 address of Host (a name or dotted quad), network order; false when unknown.
bool ResolveIPv4(const std::string& Host, std::uint32_t& Ip);

} // namespace dplay
