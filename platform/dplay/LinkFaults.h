#pragma once
// A switch in the receive path of a real ENet host that loses and delays incoming datagrams, so
// that two game processes can be tried over a poor network where the kernel's traffic shaper is
// not to be had. Off unless the environment asks for it:
//   MAREVO_DPLAY_LOSS   percent of incoming datagrams dropped (0-100)
//   MAREVO_DPLAY_DELAY  milliseconds by which one datagram in ten is held back (then the host
//                       sends it to itself, wrapped with its true sender, and takes it in)
// The same place hands the node the datagrams that are not ENet's at all (an address server's
// answers, other machines' punches), which ENet must never see.

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <random>
#include <span>
#include <vector>

struct _ENetHost;
struct _ENetEvent;

namespace dplay {

struct TLinkFaultPlan {
    unsigned LossPercent = 0;
    std::chrono::milliseconds Delay{0};
    bool Active() const { return LossPercent > 0 || Delay.count() > 0; }
    static TLinkFaultPlan FromEnvironment();
};

class TLinkFaults {
public:
    TLinkFaults(const TLinkFaultPlan& Plan, std::uint32_t Seed) : Plan(Plan), Random(Seed) {}
    ~TLinkFaults();
    TLinkFaults(const TLinkFaults&) = delete;
    TLinkFaults& operator=(const TLinkFaults&) = delete;
    // Takes a datagram that is not ENet's, from Ip (network order) and Port: true when it was.
    using TTaker = std::function<bool(std::span<const std::uint8_t>, std::uint32_t, std::uint16_t)>;
    void Take(TTaker Taker) { Other = std::move(Taker); }
    bool Active() const { return Plan.Active() || Other; }
    // Installs itself as the host's intercept; the host must not outlive this object.
    void Install(_ENetHost* Host);
    // Lets go of the held datagrams that are due (the node calls it on every turn).
    void Flush(_ENetHost* Host);

private:
    static int Intercept(_ENetHost* Host, _ENetEvent* Event);
    int Others(_ENetHost* Host);
    struct THeld {
        std::chrono::steady_clock::time_point Due;
        std::uint32_t Ip = 0;
        std::uint16_t Port = 0;
        std::vector<std::uint8_t> Bytes;
    };
    TLinkFaultPlan Plan;
    std::mt19937 Random;
    std::deque<THeld> Held;
    std::uint16_t OwnPort = 0;
    TTaker Other;
};

} // namespace dplay
