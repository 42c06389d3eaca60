#include "RouterCore.h"

#include <algorithm>
#include <utility>

#include <arpa/inet.h>

namespace dplay {

namespace {

struct TRange {
    std::uint32_t Base; // host order
    int Bits;
};

// Ranges that are never an address on the internet (RFC 6890 and the multicast and future
// blocks): a router that says its outside address is one of them sits behind another router.
constexpr TRange kPrivate[] = {
    {0x00000000, 8},  {0x0A000000, 8},  {0x7F000000, 8},  {0xA9FE0000, 16}, {0xAC100000, 12},
    {0xC0000000, 24}, {0xC0000200, 24}, {0xC0A80000, 16}, {0xC6120000, 15}, {0xC6336400, 24},
    {0xCB007100, 24}, {0xE0000000, 4},  {0xF0000000, 4},
};
constexpr TRange kShared{0x64400000, 10};

bool In(std::uint32_t HostOrder, TRange R) {
    const std::uint32_t mask = R.Bits == 0 ? 0 : ~std::uint32_t{0} << (32 - R.Bits);
    return (HostOrder & mask) == R.Base;
}

} // namespace

TAddressReach ReachOf(std::uint32_t Ip) {
    const std::uint32_t h = ntohl(Ip);
    if (In(h, kShared))
        return TAddressReach::Shared;
    for (const TRange r : kPrivate)
        if (In(h, r))
            return TAddressReach::Private;
    return TAddressReach::Public;
}

TRouterCore::TRouterCore(std::chrono::seconds ALease) : Lease(std::max(ALease, kMinLease)) {}

void TRouterCore::Start(std::uint16_t QueryPort, std::uint16_t SessionPort, TRouterTime) {
    if (State != TState::Idle)
        return;
    Wanted = {{QueryPort, QueryPort}, {SessionPort, SessionPort}};
    Ask(TRouterMethod::NatPmp, false);
}

void TRouterCore::Ask(TRouterMethod AMethod, bool Renewal) {
    Method = AMethod;
    State = Renewal ? TState::Open : TState::Trying;
    InFlight = true;
    RenewalInFlight = Renewal;
    Actions.emplace_back(TRouterMapAction{Method, Renewal ? Forwarded : Wanted, Lease, Renewal});
}

void TRouterCore::Answered(const TRouterAnswer& Answer, TRouterTime Now) {
    if (!InFlight || Answer.Method != Method)
        return;
    InFlight = false;
    const bool renewal = std::exchange(RenewalInFlight, false);
    const bool mapped =
        Answer.Result == TRouterAnswer::Mapped && Answer.Ports.size() == Wanted.size();
    if (State == TState::Stopped) {
        // Stop waited for this answer, so that taking back comes after whatever it opened,
        // in whichever order the shell carries requests out. A failed renewal may still
        // have left the old forwarding in place.
        std::vector<TForwardedPort> back = mapped ? Answer.Ports : std::vector<TForwardedPort>{};
        if (renewal && !mapped)
            back = Forwarded;
        Forwarded.clear();
        if (!back.empty())
            Actions.emplace_back(TRouterUnmapAction{Method, std::move(back)});
        return;
    }
    if (Answer.PublicIp && ReachOf(Answer.PublicIp) != TAddressReach::Public)
        PrivateIp = Answer.PublicIp;
    OutsideUnusable = OutsideUnusable || Answer.OutsideUnusable;
    if (renewal) {
        if (mapped) {
            Forwarded = Answer.Ports;
            RenewAt = Now + Lease / 2;
            if (std::exchange(RenewFailedTold, false))
                Tell(PublicIp ? TRouterNotice::Open : TRouterNotice::PrivateOutside);
        } else {
            RenewAt = Now + std::min<std::chrono::seconds>(kRenewRetry, Lease / 2);
            if (!std::exchange(RenewFailedTold, true))
                Tell(TRouterNotice::RenewFailed);
        }
        return;
    }
    if (mapped) {
        Forwarded = Answer.Ports;
        State = TState::Open;
        RenewAt = Now + Lease / 2;
        // Forwarded all the same: it is of use once the router in front forwards too, and it
        // is taken back at the end like any other.
        if (Answer.PublicIp && ReachOf(Answer.PublicIp) == TAddressReach::Public) {
            PublicIp = Answer.PublicIp;
            Tell(TRouterNotice::Open);
        } else {
            Tell(TRouterNotice::PrivateOutside);
        }
        return;
    }
    if (Answer.Result == TRouterAnswer::Refused)
        AnyRefused = true;
    if (Method == TRouterMethod::NatPmp)
        return Ask(TRouterMethod::Upnp, false);
    GiveUp();
}

void TRouterCore::GiveUp() {
    State = TState::Failed;
    // The most telling reason first: a router behind another one may well refuse too, and
    // forwarding on it would not help.
    if (PrivateIp || OutsideUnusable)
        Tell(TRouterNotice::PrivateOutside);
    else if (AnyRefused)
        Tell(TRouterNotice::Refused);
    else
        Tell(TRouterNotice::NoRouter);
}

void TRouterCore::Tell(TRouterNotice::TKind Kind) {
    TRouterNotice n;
    n.Kind = Kind;
    n.PublicIp = Kind == TRouterNotice::PrivateOutside ? PrivateIp : PublicIp;
    const auto& ports = Forwarded.size() == 2 ? Forwarded : Wanted;
    n.QueryPort = ports[0].External;
    n.SessionPort = ports[1].External;
    Actions.emplace_back(TRouterNoticeAction{n});
}

void TRouterCore::Tick(TRouterTime Now) {
    if (State == TState::Open && !InFlight && Now >= RenewAt)
        Ask(Method, true);
}

void TRouterCore::Stop() {
    if (State == TState::Stopped)
        return;
    State = TState::Stopped;
    if (!Forwarded.empty() && !InFlight)
        Actions.emplace_back(TRouterUnmapAction{Method, std::exchange(Forwarded, {})});
}

std::vector<TRouterAction> TRouterCore::TakeActions() {
    return std::exchange(Actions, {});
}

bool TRouterCore::Finished() const {
    return (State == TState::Stopped || State == TState::Idle) && !InFlight;
}

std::uint16_t TRouterCore::SessionPortFor(std::uint32_t SourceIp) const {
    if (Wanted.size() != 2)
        return 0;
    if (State == TState::Open && PublicIp && Forwarded.size() == 2 &&
        ReachOf(SourceIp) == TAddressReach::Public)
        return Forwarded[1].External;
    return Wanted[1].Internal;
}

std::optional<std::pair<std::uint32_t, std::uint16_t>> TRouterCore::PublicSessionAddress() const {
    if (State != TState::Open || !PublicIp || Forwarded.size() != 2)
        return std::nullopt;
    return std::make_pair(PublicIp, Forwarded[1].External);
}

} // namespace dplay
