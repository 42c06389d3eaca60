#pragma once
// Every decision of one machine's part in a session, and nothing else: who may join, who owns
// which player, where a message goes, who hosts when the host goes, when a connection has
// waited too long. It owns no socket, thread or clock. It is fed decoded events (a connection
// came or went, a packet arrived on connection c, the time is now) and answers with actions
// (send these bytes on c, open or close a connection, show a player, post a message), which
// TSessionNode carries out on ENet and tests carry out on a simulated network.
//
// Topology: a star. The host hands out player identifiers, tells every machine of each arrival
// and departure and relays messages between machines; it accepts a message only from the
// machine that owns the sending player. When the host goes, the machine of the remaining player
// with the lowest identifier takes over and the others reconnect to it, each proving with its
// machine key, over the new host's challenge, that the players it claims back are its own.
//
// Guaranteed means delivered, also across a change of host: every machine keeps its guaranteed
// messages until the host reports that every machine meant to have them has acknowledged them,
// and sends them all again to a new host; receivers take each once, by its sequence number.

#include "MachineIdentity.h"
#include "QueryLimiter.h"
#include "Wire.h"
#include "platform/dplay/DPlay.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace dplay {

using TTime = std::chrono::steady_clock::time_point;
// A connection as the core names it; 0 is none. The core hands out every identifier, for the
// connections it opens and for those it accepts.
using TConnId = std::uint32_t;

struct TAddress {
    std::uint32_t Ip = 0; // network order
    std::uint16_t Port = 0;
    bool operator==(const TAddress&) const = default;
};

// A message waiting for Receive: an application message, or a system message when SysType is
// set.
struct TQueuedMessage {
    DPID From = 0;
    DPID To = 0;
    DWORD SysType = 0;
    DPID PlayerId = 0;
    DWORD CurrentPlayers = 0;
    std::string ShortName;
    std::string LongName;
    std::vector<std::uint8_t> Data;
};

struct TPlayerView {
    DPID Id = 0;
    std::string ShortName;
    std::string LongName;
    bool Local = false;
};

struct TCreateConfig {
    GUID Application{};
    GUID Instance{};
    DWORD Flags = 0;
    DWORD MaxPlayers = 0;
    std::string Name;
};

// What the core asks of its shell, in the order it asks. A guaranteed send counts against the
// connection's backlog, charged to Origin (the machine whose message it relays, 0 for this
// one), until the shell reports it Released.
struct TSendAction {
    TConnId Conn = 0;
    std::vector<std::uint8_t> Bytes;
    bool Reliable = true;
    TConnId Origin = 0;
};
struct TConnectAction {
    TConnId Conn = 0;
    TAddress To;
};
// Immediately: drop it now, and no Disconnected will follow. Otherwise after what is queued for
// it has gone, and Disconnected follows.
struct TCloseAction {
    TConnId Conn = 0;
    bool Immediately = false;
};
struct TShowPlayerAction {
    TPlayerView Player;
};
struct THidePlayerAction {
    DPID Id = 0;
};
struct TPostAction {
    TQueuedMessage Message;
};
struct TJoinDoneAction {
    HRESULT Result = DP_OK;
};
struct TPlayerDoneAction {
    std::uint32_t Request = 0;
    HRESULT Result = DP_OK;
    DPID Id = 0;
};
// Open or close the session query socket (a new host opens it, a leaving one closes it).
struct TQuerySocketAction {
    bool Open = false;
};
using TAction =
    std::variant<TSendAction, TConnectAction, TCloseAction, TShowPlayerAction, THidePlayerAction,
                 TPostAction, TJoinDoneAction, TPlayerDoneAction, TQuerySocketAction>;

class TSessionCore {
public:
    static constexpr auto kHelloTime = std::chrono::seconds(3);   // to say hello once connected
    static constexpr auto kIdleTime = std::chrono::seconds(5);    // to own a player once joined
    static constexpr auto kJoinTime = std::chrono::seconds(5);    // Open(join) gives up then
    static constexpr auto kRequestTime = std::chrono::seconds(5); // CreatePlayer gives up then
    static constexpr auto kGraceTime = std::chrono::seconds(4);   // a new host waits for the rest
    static constexpr auto kTargetTime = std::chrono::seconds(4);  // trying one would-be host
    static constexpr auto kRetryTime = std::chrono::milliseconds(300);
    static constexpr auto kDirectTime = std::chrono::milliseconds(2500); // before the relay
    static constexpr auto kLeaveTime = std::chrono::milliseconds(500);   // to say goodbye
    // The host's heartbeat, to a machine it has sent nothing else meanwhile or whose messages
    // every machine has since acknowledged.
    static constexpr auto kBeatTime = std::chrono::milliseconds(500);
    static constexpr auto kAckTime = std::chrono::seconds(2); // acknowledgements, at most
    // A host unheard this long (heartbeats lost six times in a row) has gone quiet and is
    // passed over, as if it had vanished.
    static constexpr auto kHostSilence = std::chrono::seconds(3);
    // Connections from one address at once.
    static constexpr std::size_t kMaxPerAddress = 8;
    // Connections in all, open or closing. When full, a new one takes the place of the oldest
    // that owns no player: otherwise connections from enough addresses that never join would
    // keep every player out.
    static constexpr std::size_t kMaxConns = 128;
    // Guaranteed messages of this machine kept until every machine has them; past it Send
    // refuses. The new host keeps as much for each machine that has yet to come back.
    static constexpr std::size_t kMaxHeldBytes = 4u << 20;
    // Guaranteed bytes on their way to one machine. Past it, a machine that caused more than
    // half of them is dropped, as flooding; otherwise the one that does not take what it is
    // sent.
    static constexpr std::size_t kMaxBacklog = 8u << 20;

    // Seed: random bytes the machine's key and challenges are drawn from; the shell takes
    // them from the system, a simulation from its own seed.
    explicit TSessionCore(const TMachineKey& Seed);

    // Commands of the application.
    void Create(const TCreateConfig& Config, std::uint16_t OwnPort, TTime Now);
    // Own: this machine's address inside its home as it knows it (Ip 0: not known) and its
    // session port.
    // Relay: where the host's relay takes datagrams for it, tried when the host has not
    // answered at its own address within kDirectTime.
    void Join(TAddress Host, TAddress Own, const GUID& Application, const GUID& Instance, TTime Now,
              std::optional<TAddress> Relay = std::nullopt);
    void CreatePlayer(std::uint32_t Request, std::string ShortName, std::string LongName,
                      TTime Now);
    // The caller has checked the size and that From is a local player. DPERR_BUSY when a
    // guaranteed message cannot be kept until every machine has it.
    HRESULT Send(DPID From, DPID To, bool Guaranteed, std::vector<std::uint8_t> Data, TTime Now);
    void Leave(TTime Now);
    // This machine's router forwards its session port from Public; the others are told, so
    // that machines in other homes can reach it should it host.
    void Reachable(TAddress Public, TTime Now);

    // Events of the network. Accept answers 0 for a connection that must be dropped at once.
    TConnId Accept(TAddress From, TTime Now);
    void Connected(TConnId Conn, TTime Now);
    void Disconnected(TConnId Conn, TTime Now);
    void Received(TConnId Conn, std::span<const std::uint8_t> Bytes, TTime Now);
    // Pieces of a message from Conn are arriving: it is not quiet, although nothing is whole.
    void Heard(TConnId Conn, TTime Now);
    // The shell has let go of Bytes of a guaranteed send to Conn on behalf of Origin
    // (delivered, or the connection gone). Changes only counts: safe from any shell callback.
    void Released(TConnId Conn, TConnId Origin, std::size_t Bytes);
    void Tick(TTime Now);
    // The answer to a session query from SourceIp, when one is due.
    std::optional<TSessionReply> AnswerQuery(const TSessionQuery& Query, std::uint32_t SourceIp,
                                             TTime Now);

    // What a search would be told of this session now (asked of its host); nothing when it
    // takes no players.
    std::optional<TSessionReply> Describe() const;

    std::vector<TAction> TakeActions();
    // After Leave, once the goodbyes are out or their time is up.
    bool Finished() const { return Done; }
    bool IsHost() const { return Role == TRole::Host; }
    // This machine reached its host only through the host's relay: no punch reaches it.
    bool CameThroughRelay() const { return ThroughRelay; }
    std::vector<DPID> PlayerIds() const;
    // Where the other machines of the session say their routers let them in from.
    std::vector<TAddress> OtherPublics() const;
    const TMachineKey& Key() const { return Identity.Key(); }
    // Bytes of this machine's guaranteed messages still kept.
    std::size_t KeptBytes() const { return LogBytes; }
    // Bytes a new host holds for machines that have yet to come back.
    std::size_t HeldBytes() const;

private:
    enum class TRole { Idle, Host, Joining, Client, Migrating, Lost };

    struct TConn {
        TAddress Address;
        bool Incoming = false;
        bool Up = false;     // connected, and not being closed
        bool Joined = false; // said hello (or rejoined) and was welcomed
        TTime Deadline{};    // to say hello, or (joined) to own a player
        TMachineKey Key{};
        TAddress Inside;                   // where it says it is inside its home
        TAddress Public;                   // where its router forwards from, as it says
        TMachineKey Challenge{};           // what a claim on this connection must sign
        std::optional<TRejoin> HeldRejoin; // came before this machine knew it was the new host
        // Host side, by sending player: the last guaranteed message it acknowledged, and the
        // last sent to it (or that might have been, before this machine hosted).
        std::map<DPID, std::uint32_t> Acked, SentUpTo;
        std::vector<TMark> Told; // what the last heartbeat said was delivered
        bool Quiet = true;       // nothing sent to it since the last heartbeat
        std::size_t Backlog = 0;
        std::map<TConnId, std::size_t> BacklogBy; // by origin
    };

    struct TPlayer {
        DPID Id = 0;
        std::string ShortName;
        std::string LongName;
        bool Local = false;
        TAddress Machine;
        TAddress Inside;       // its machine inside its home, as it says (Ip 0: not known)
        TAddress Public;       // where its machine's router forwards from (Ip 0: not known)
        TMachineKey Key{};     // its machine's; a local player's is this machine's own
        TConnId Owner = 0;     // host only: the connection of its machine (0: this one)
        bool Confirmed = true; // host only, after taking over: its machine has come back
        // Its last guaranteed message and plain message taken (a local player's: sent).
        std::uint32_t Got = 0;
        std::uint32_t GotPlain = 0;
    };

    struct TKept {
        DPID From = 0;
        std::uint32_t Seq = 0;
        std::vector<std::uint8_t> Bytes;
    };

    struct TRequest {
        std::string ShortName;
        std::string LongName;
        TTime Deadline{};
    };

    template <class T> void Act(T&& Action) {
        Actions.emplace_back(std::in_place_type<std::decay_t<T>>, std::forward<T>(Action));
    }

    // Sending and the connection table.
    void SendTo(TConnId Conn, const TPacket& Packet, bool Reliable = true);
    void SendBytes(TConnId Conn, const std::vector<std::uint8_t>& Bytes, bool Reliable,
                   TConnId Origin = 0);
    bool Charge(TConnId Conn, TConn& C, std::size_t Bytes, TConnId Origin);
    TConnId Open(TAddress To);
    void Close(TConnId Conn, bool Immediately);
    void Refuse(TConnId Conn, HRESULT Code);
    void Drop(TConnId Conn);
    void Settle(TTime Now);
    void Gone(TConnId Conn, bool WasJoined, TTime Now);
    template <class F> void ForJoined(F&& Do) {
        for (auto& [id, c] : Conns)
            if (c.Up && c.Joined)
                Do(id);
    }
    bool OwnsPlayers(TConnId Conn) const;
    void Announce(const TPacket& Packet, TConnId Except);

    // Players.
    TPlayer* FindPlayer(DPID Id);
    void Learn(DPID Id);
    DPID AllocateId();
    bool CanAddPlayer() const;
    bool Joinable() const;
    void AddPlayer(TPlayer Player, bool Announce);
    void RemovePlayer(DPID Id);
    void RemoveMachine(TAddress Machine);
    void RemoveAllRemote();
    void PostSystem(DWORD Type);
    void Deliver(DPID From, DPID To, const std::vector<std::uint8_t>& Data);
    TPlayerEntry EntryOf(const TPlayer& P) const;
    TPlayer PlayerOf(const TPlayerEntry& E) const;
    static void Relocate(TPlayer& Known, const TPlayer& Fresh);
    TWelcome Snapshot() const;
    void Route(const TData& Data, const std::vector<std::uint8_t>& Bytes, TConnId Source);

    // Guaranteed delivery (SessionCoreDelivery.cpp).
    bool Take(TPlayer& From, const TData& Data);
    bool Authentic(const TPlayer& From, const TData& Data) const;
    void Keep(TPlayer& Local, const TData& Data, std::vector<std::uint8_t> Bytes);
    void Hold(const TData& Data, const std::vector<std::uint8_t>& Bytes);
    void Resend(TConnId Conn);
    void Acknowledge(TConnId Conn, TConn& C, const TAck& Ack);
    void Trim(const TStable& Stable);
    std::uint32_t Delivered(const TPlayer& P) const;
    void Beat(TTime Now);
    std::vector<TMark> Marks() const;

    // Packets by where they come from.
    void FromHost(TPacket& Packet, TTime Now);
    void FromMachine(TConnId Conn, TConn& C, TPacket& Packet, std::span<const std::uint8_t> Bytes,
                     TTime Now);
    void FromCandidate(TConnId Conn, TPacket& Packet, TTime Now);
    void Welcome(TConnId Conn, TConn& C, const THello& Hello, TTime Now);
    void AcceptRejoin(TConnId Conn, TConn& C, const TRejoin& R);
    void FinishJoin(HRESULT Result);
    bool FallBack(TTime Now);

    // The host went.
    void HostLost(TTime Now);
    void Elect(TTime Now);
    void ConnectToCandidate(TTime Now);
    void Claim(TConnId Conn, const TChallenge& Challenge);
    void CandidateFailed(TTime Now);
    void BecomeHost(TTime Now);

    std::vector<TAction> Actions;
    std::map<TConnId, TConn> Conns;
    std::vector<TConnId> Doomed; // dropped while the table was being walked
    TConnId NextConn = 1;
    TMachineIdentity Identity;

    TRole Role = TRole::Idle;
    bool Leaving = false;
    bool Done = false;
    TTime LeaveDeadline{};
    std::uint16_t OwnPort = 0;
    std::uint32_t OwnIp = 0;  // inside this machine's home; 0: not known
    std::uint32_t SeenIp = 0; // where the host sees this machine
    TAddress OwnPublic;       // where this machine's router forwards from

    GUID Application{};
    GUID Instance{};
    DWORD Flags = 0;
    DWORD MaxPlayers = 0;
    std::string Name;
    std::vector<TPlayer> Players;
    DPID NextId = DPID_FIRSTPLAYER;

    // This machine's guaranteed messages until every machine has them.
    std::uint32_t NextSeq = 1;
    std::deque<TKept> Log;
    std::size_t LogBytes = 0;

    // Client side.
    TConnId HostConn = 0;
    TAddress HostAddress;
    TTime HostHeard{};
    bool AckDue = false;
    TTime NextAck{};
    std::optional<TTime> JoinDeadline;
    std::optional<TAddress> JoinRelay; // tried at RelayAt unless the host answered
    TTime RelayAt{};
    bool ThroughRelay = false;
    std::map<std::uint32_t, TRequest> Requests; // by request number, which is also the nonce

    // While the host changes.
    TConnId CandidateConn = 0;
    TAddress Target;
    TTime TargetDeadline{};
    std::optional<TTime> RetryAt;

    // Host side.
    std::optional<TTime> GraceEnd;
    TTime NextBeat{};
    // While the host changes: what was relayed for each machine (by key) not yet back. The
    // messages and their size stay in one entry, so that letting go of one lets go of both.
    struct THeld {
        std::vector<std::vector<std::uint8_t>> Messages;
        std::size_t Bytes = 0;
    };
    std::map<TMachineKey, THeld> Waiting;
    TQueryLimiter Limiter;

    // The connection a newcomer may push out of a full table; 0 when every one is needed.
    TConnId Evictable() const;
};

} // namespace dplay
