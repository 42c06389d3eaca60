#pragma once
// When this machine sends a punch (a small datagram from its session socket) and to whom, so
// that home routers let the other machines in. A router that keeps one outside port for its
// machine's socket lets in only whom that socket has sent to; so the host punches towards a
// joiner that asked through the lobby while the joiner connects, and every machine punches
// every other machine of the session now and then, so that whoever hosts next is reachable
// from every home. Requests come through the lobby, where anyone may ask: each is punched for
// a few seconds only, and only a few at once, so that nobody can turn a host into a source
// of traffic towards a third party.

#include "SessionCore.h"

#include <chrono>
#include <map>
#include <vector>

namespace dplay {

class TPunchPlan {
public:
    static constexpr auto kRequestTime = std::chrono::seconds(5);
    static constexpr auto kRequestEvery = std::chrono::milliseconds(200);
    static constexpr auto kMemberEvery = std::chrono::seconds(5);
    static constexpr std::size_t kMaxRequests = 4;

    // A joiner at From asked to be let in. Refused (false) while kMaxRequests are being
    // punched; a repeated request only keeps its own going.
    bool Requested(TAddress From, TTime Now);
    // The other machines of the session, where their routers let them in from.
    void Members(const std::vector<TAddress>& Publics);
    // Where to punch now.
    std::vector<TAddress> Due(TTime Now);

private:
    struct TTarget {
        TTime Next{};
        TTime End{}; // requests only
    };
    static std::uint64_t KeyOf(TAddress A) { return (std::uint64_t{A.Ip} << 16) | A.Port; }
    std::map<std::uint64_t, std::pair<TAddress, TTarget>> Asked, Machines;
};

} // namespace dplay
