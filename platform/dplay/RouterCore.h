#pragma once
// Every decision about this machine's home router, and nothing else: which way to ask it to
// forward the session's ports (NAT-PMP first, then UPnP), what the answers mean for the player,
// when to renew the lease, when to take the forwarding back, and which port a query from
// outside is told. It owns no socket, thread or clock: TRouterShell carries out its actions with
// the router libraries and feeds their outcome back as answers.
//
// A forwarding that was asked for is always taken back: Stop while an attempt is still on its
// way waits for its answer and takes back whatever it opened.

#include <chrono>
#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

namespace dplay {

using TRouterTime = std::chrono::steady_clock::time_point;

enum class TRouterMethod : std::uint8_t { NatPmp = 1, Upnp = 2 };

// Where an IPv4 address (network order) sits: reachable from anywhere, a private or reserved
// range no home router forwards to from the internet, or the range providers share behind
// their own translation (100.64.0.0/10).
enum class TAddressReach : std::uint8_t { Public, Private, Shared };
TAddressReach ReachOf(std::uint32_t Ip);

// One port this machine wants forwarded (UDP), and where the router put it outside.
struct TForwardedPort {
    std::uint16_t Internal = 0;
    std::uint16_t External = 0;
};

// What the shell found out from one attempt. Refused: the router answered and would not
// forward (or would not for every port). PublicIp is the router's outside address when it told
// it (0 otherwise), also on a refusal: a router behind another one may well refuse.
struct TRouterAnswer {
    enum TResult : std::uint8_t { Mapped, NoAnswer, Refused };
    TRouterMethod Method = TRouterMethod::NatPmp;
    TResult Result = NoAnswer;
    std::uint32_t PublicIp = 0;
    // The router answered that it has no outside address fit to forward from (NAT-PMP's
    // "network failure" to the address request, UPnP's error to GetExternalIPAddress), which
    // is what a router behind another one says without naming the address.
    bool OutsideUnusable = false;
    std::vector<TForwardedPort> Ports; // when Mapped, in the order asked
};

// What the player is told, once per change.
struct TRouterNotice {
    enum TKind : std::uint8_t {
        Open,           // friends reach this machine at PublicIp, QueryPort
        NoRouter,       // no router answered either way of asking
        Refused,        // a router answered and would not forward
        PrivateOutside, // the router's own outside address is private or shared
        RenewFailed,    // the forwarding could not be renewed; it may lapse
    };
    TKind Kind = Open;
    std::uint32_t PublicIp = 0;
    std::uint16_t QueryPort = 0;
    std::uint16_t SessionPort = 0;
    bool operator==(const TRouterNotice&) const = default;
};

// Ask the router to forward Ports for Lease (Renewal: the same ports again, same way).
struct TRouterMapAction {
    TRouterMethod Method = TRouterMethod::NatPmp;
    std::vector<TForwardedPort> Ports; // External: what to ask for
    std::chrono::seconds Lease{0};
    bool Renewal = false;
};
// Take the forwarding of Ports back.
struct TRouterUnmapAction {
    TRouterMethod Method = TRouterMethod::NatPmp;
    std::vector<TForwardedPort> Ports;
};
struct TRouterNoticeAction {
    TRouterNotice Notice;
};
using TRouterAction = std::variant<TRouterMapAction, TRouterUnmapAction, TRouterNoticeAction>;

class TRouterCore {
public:
    // About an hour, as routers expect; renewed at half of it.
    static constexpr std::chrono::seconds kDefaultLease{3600};
    // The shortest lease asked for: a shorter one would renew faster than routers answer.
    static constexpr std::chrono::seconds kMinLease{4};
    // After a failed renewal, the next try.
    static constexpr std::chrono::seconds kRenewRetry{30};

    explicit TRouterCore(std::chrono::seconds Lease = kDefaultLease);

    // The session's ports are open: ask for them to be forwarded, the query port first.
    void Start(std::uint16_t QueryPort, std::uint16_t SessionPort, TRouterTime Now);
    void Answered(const TRouterAnswer& Answer, TRouterTime Now);
    void Tick(TRouterTime Now);
    // The session ends: take every forwarding back.
    void Stop();

    std::vector<TRouterAction> TakeActions();
    // Nothing is forwarded and nothing is on its way: the shell may end.
    bool Finished() const;
    bool Busy() const { return InFlight; }
    // The session port a query from SourceIp (network order) should be told: the outside one
    // when the query came from outside and the port is forwarded.
    std::uint16_t SessionPortFor(std::uint32_t SourceIp) const;
    // The forwarded address of this machine's session port, for the others to reach it should
    // it become host; nullopt when not forwarded to a public address.
    std::optional<std::pair<std::uint32_t, std::uint16_t>> PublicSessionAddress() const;

private:
    enum class TState : std::uint8_t { Idle, Trying, Open, Failed, Stopped };
    void Ask(TRouterMethod Method, bool Renewal);
    void GiveUp();
    void Tell(TRouterNotice::TKind Kind);

    std::chrono::seconds Lease;
    TState State = TState::Idle;
    std::vector<TForwardedPort> Wanted;
    std::vector<TForwardedPort> Forwarded; // what the router holds for this machine now
    TRouterMethod Method = TRouterMethod::NatPmp;
    bool InFlight = false;
    bool RenewalInFlight = false;
    bool RenewFailedTold = false;
    bool AnyRefused = false;
    std::uint32_t PublicIp = 0;
    std::uint32_t PrivateIp = 0; // an outside address the router told that nobody can reach
    bool OutsideUnusable = false;
    TRouterTime RenewAt{};
    std::vector<TRouterAction> Actions;
};

} // namespace dplay
