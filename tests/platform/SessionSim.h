#pragma once
// Several session cores wired through a simulated network, in virtual time, from one seed.
//
// The network gives the cores what ENet gives the node: connections that open or fail,
// guaranteed messages that arrive whole and in order (loss only delays them, as ENet sends
// them again), plain messages that may be lost, duplicated or overtaken, and the end of a
// connection when the other side goes, says goodbye, or cannot be heard for the time-out.
// Machines may vanish, and links may be cut and healed.

#include "platform/dplay/SessionCore.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <queue>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace sessionsim {

using dplay::TAddress;
using dplay::TConnId;
using dplay::TTime;
using TMs = std::chrono::milliseconds;

struct TLinkPlan {
    double Loss = 0;      // chance that one datagram is lost
    double Duplicate = 0; // chance that a plain message arrives twice
    TMs Delay{5};         // one way, at least
    TMs Jitter{10};       // added at random, so plain messages overtake each other
    TMs Resend{40};       // how long a lost guaranteed datagram waits to go again
    TMs Timeout{2000};    // unheard this long, a connection ends
};

// What the application of one machine saw.
struct TSeen {
    DPID From = 0;
    DPID To = 0;
    DWORD SysType = 0;
    DPID PlayerId = 0;
    std::vector<std::uint8_t> Data;
};

struct TMachine {
    int Index = 0;
    TAddress Address;
    std::unique_ptr<dplay::TSessionCore> Core;
    bool Alive = true;
    bool Left = false;    // its application closed the session
    bool Muted = false;   // connected, but sends nothing
    bool Stalled = false; // connected, but takes nothing: what is sent to it waits
    // Where others see its connections come from, when a router translates them to an address
    // nobody can connect to.
    std::optional<TAddress> SeenAs;
    std::optional<TAddress> RelayAt; // a relay that passes what reaches it on to this machine
    std::optional<HRESULT> JoinResult;
    std::map<std::uint32_t, std::pair<HRESULT, DPID>> Players; // request -> result
    std::vector<dplay::TPlayerView> Shown;                     // what the application lists
    std::vector<TSeen> Seen;
    bool QueryOpen = false;
    TTime Since{}; // when its first player was made
    // Local players' identifiers.
    std::vector<DPID> Own() const;
};

class TSim {
public:
    TSim(std::uint32_t Seed, TLinkPlan Plan);

    // A machine at 127.0.0.1, port 5000 + its index, unless told otherwise.
    TMachine& Add(std::optional<TAddress> Address = std::nullopt);
    TMachine& At(int Index) { return *Machines[static_cast<std::size_t>(Index)]; }
    const TMachine& At(int Index) const { return *Machines[static_cast<std::size_t>(Index)]; }
    std::size_t Count() const { return Machines.size(); }

    TTime Now() const { return Clock; }
    // Runs the network and every core's clock up to Now() + For.
    void Run(TMs For);
    // Runs until Done holds, or For is over; answers whether it held.
    bool RunUntil(const std::function<bool()>& Done, TMs For);

    // Commands, as the node would hand them over.
    void Create(int Machine, DWORD MaxPlayers = 4,
                DWORD Flags = DPSESSION_KEEPALIVE | DPSESSION_MIGRATEHOST);
    void Join(int Machine, int Host);
    // Joins at Host, or at Relay when Host does not answer in time (as through the lobby).
    void JoinAt(int Machine, TAddress Host, std::optional<TAddress> Relay);
    std::uint32_t CreatePlayer(int Machine, const std::string& Name);
    HRESULT Send(int Machine, DPID From, DPID To, bool Guaranteed, std::vector<std::uint8_t> Data);
    void Leave(int Machine);
    // The machine's router forwards its session port from its own address.
    void Forwarded(int Machine);
    // The machine is gone without a word (its process killed, its cable pulled).
    void Vanish(int Machine);
    // The machine stays connected but sends nothing more: a modified client that went quiet.
    void Mute(int Machine);
    // No datagram crosses between the two groups until Heal.
    void Cut(const std::set<int>& Side);
    void Heal();

    // A raw connection from a machine of the test's own, for hostile peers: its packets go to
    // the core of Target and whatever comes back is collected.
    struct TRaw {
        TConnId Conn = 0; // on the target; 0 when refused
        std::vector<dplay::TPacket> Got;
        bool Closed = false;
    };
    TRaw& RawConnect(int Target, TAddress From);
    void RawSend(TRaw& Raw, const std::vector<std::uint8_t>& Bytes, bool Reliable = true);
    // Bytes from machine From on its connection with To, as if its core had sent them: what a
    // modified client of From could say.
    void Inject(int From, int To, const std::vector<std::uint8_t>& Bytes);
    // Sees every packet handed to a machine's core, with the machine it came from (-1: a raw
    // connection of the test).
    std::function<void(int From, int To, const dplay::TPacket&)> Tap;

    // Connections Machine's core holds now, open or closing (what would fill the node's table).
    std::size_t Connections(int Machine) const;

    // Messages that reached the machine of their own sender: relayed back for nothing.
    int Echoes() const { return EchoCount; }
    std::mt19937& Random() { return Rng; }
    std::string Describe() const; // for a failing seed

private:
    struct TEnd {
        int Machine = -1; // -1: a raw test connection
        TConnId Conn = 0;
        TRaw* Raw = nullptr;
    };
    struct TLink {
        TEnd A, B; // A opened it
        bool Up = false;
        bool Gone = false;
        TTime LastReliable[2]{}; // keeps guaranteed messages in order, per direction
        struct TQueued {
            TTime Due;
            std::vector<std::uint8_t> Bytes;
            TConnId Origin = 0;
        };
        std::deque<TQueued> Queue[2];
    };
    struct TEvent {
        TTime At;
        std::uint64_t Seq;
        std::function<void()> Do;
        bool operator>(const TEvent& O) const { return At != O.At ? At > O.At : Seq > O.Seq; }
    };

    void Schedule(TTime At, std::function<void()> Do);
    void Apply(int Machine);
    void Carry(int Machine, dplay::TAction& Action);
    bool Severed(const TEnd& A, const TEnd& B) const;
    TMs OneWay();
    void Deliver(std::size_t Link, int Direction, std::vector<std::uint8_t> Bytes, bool Reliable,
                 TConnId Origin = 0);
    void Release(std::size_t Link, int Direction, const TLink::TQueued& Sent);
    bool Receiver(std::size_t Link, int Direction) const;
    void Pump(std::size_t Link, int Direction);
    void Hand(std::size_t Link, int Direction, const std::vector<std::uint8_t>& Bytes);
    void EndLink(std::size_t Link, int Side, TTime At);
    std::size_t LinkOf(int Machine, TConnId Conn) const;
    void Tick();

    std::mt19937 Rng;
    TLinkPlan Plan;
    TTime Clock;
    std::uint64_t Seq = 0;
    std::priority_queue<TEvent, std::vector<TEvent>, std::greater<>> Events;
    std::vector<std::unique_ptr<TMachine>> Machines;
    std::vector<TLink> Links;
    std::vector<std::unique_ptr<TRaw>> Raws;
    std::set<int> CutSide;
    std::uint32_t NextRequest = 1;
    int EchoCount = 0;
};

} // namespace sessionsim
