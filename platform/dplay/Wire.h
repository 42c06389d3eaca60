#pragma once
// The bytes the session service puts on the wire and in its connection data. Each message has
// one Transfer function that both writes and reads it, so the two directions cannot drift
// apart. Reading never trusts its input: lengths are checked against what is left, names are at
// most 255 bytes, payloads at most 1 MiB, lists bounded; anything else makes Decode fail.

#include "platform/com/Com.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace dplay {

inline constexpr std::uint8_t kWireVersion = 3;
inline constexpr std::size_t kMaxMessageSize = 1u << 20;
inline constexpr std::size_t kMaxNameSize = 255;
// More players than a session would ever list; bounds what one packet may claim.
inline constexpr std::size_t kMaxListedPlayers = 1024;

// The fixed UDP port on which a host answers session queries (README: "Finding sessions").
inline constexpr std::uint16_t kDefaultQueryPort = 29540;

// A machine's public signing key, which the host hands to every machine along with the players
// it owns. Only the owner holds the matching secret key, so only it can sign their messages and
// claim them back after a change of host.
using TMachineKey = std::array<std::uint8_t, 32>;
using TSignature = std::array<std::uint8_t, 64>;

class TWireWriter {
public:
    static constexpr bool Reading = false;
    void U8(std::uint8_t& V) { Bytes.push_back(V); }
    template <std::size_t N> void Fixed(std::array<std::uint8_t, N>& V) {
        Bytes.insert(Bytes.end(), V.begin(), V.end());
    }
    void U16(std::uint16_t& V);
    void U32(std::uint32_t& V);
    void Guid(GUID& V);
    void Name(std::string& V);
    void Blob(std::vector<std::uint8_t>& V);
    void Fail() { Failed = true; }
    std::vector<std::uint8_t> Bytes;
    bool Failed = false;
};

class TWireReader {
public:
    static constexpr bool Reading = true;
    explicit TWireReader(std::span<const std::uint8_t> In) : In(In) {}
    void U8(std::uint8_t& V);
    void U16(std::uint16_t& V);
    void U32(std::uint32_t& V);
    template <std::size_t N> void Fixed(std::array<std::uint8_t, N>& V) {
        const std::uint8_t* p;
        if (Take(N, p))
            std::copy(p, p + N, V.begin());
    }
    void Guid(GUID& V);
    void Name(std::string& V);
    void Blob(std::vector<std::uint8_t>& V);
    void Fail() { Failed = true; }
    bool AtEnd() const { return Pos == In.size(); }
    bool Failed = false;

private:
    bool Take(std::size_t N, const std::uint8_t*& P);
    std::span<const std::uint8_t> In;
    std::size_t Pos = 0;
};

// Connection data of a provider, as EnumConnections hands it out and InitializeConnection
// takes it back. Self-describing: it starts with its own size, since InitializeConnection is
// given no length.
enum class TProviderKind : std::uint8_t { TcpIp = 1, Loopback = 2, Lobby = 3 };

struct TConnectionData {
    std::uint32_t Size = 0;
    std::uint32_t Magic = 0;
    std::uint8_t Version = kWireVersion;
    TProviderKind Kind = TProviderKind::TcpIp;
    std::uint16_t QueryPort = kDefaultQueryPort;
    std::uint16_t SessionPort = 0; // 0: any free port
    std::string Host;              // empty: ask the player when the search starts (for the
                                   // lobby: its server's name)
    std::string BindAddress;       // empty: every interface
};
inline constexpr std::uint32_t kConnectionMagic = 0x4E43564D; // "MVCN"
inline constexpr std::size_t kMaxConnectionSize = 1024;

std::vector<std::uint8_t> EncodeConnection(TConnectionData Data);
// Size is how many bytes may be read at most (InitializeConnection passes the header's own).
std::optional<TConnectionData> DecodeConnection(std::span<const std::uint8_t> Bytes);
// The declared size of a connection block whose first four bytes are readable.
std::uint32_t DeclaredConnectionSize(const void* Block);

// Session query (UDP). A query is padded to a fixed size no smaller than a large part of the
// answer, so the service is a poor amplifier.
inline constexpr std::uint32_t kQueryMagic = 0x5351564D; // "MVQS"
inline constexpr std::size_t kQuerySize = 160;
enum class TQueryKind : std::uint8_t { Query = 1, Reply = 2 };

struct TSessionQuery {
    std::uint32_t Nonce = 0;
    GUID Application{};
};

struct TSessionReply {
    std::uint32_t Nonce = 0;
    GUID Application{};
    GUID Instance{};
    std::uint32_t Flags = 0;
    std::uint32_t MaxPlayers = 0;
    std::uint32_t CurrentPlayers = 0;
    std::uint16_t SessionPort = 0;
    std::string Name;
};
inline constexpr std::size_t kMaxReplySize = 4 + 2 + 4 + 16 + 16 + 12 + 2 + 1 + kMaxNameSize;

std::vector<std::uint8_t> EncodeQuery(TSessionQuery Query);
std::optional<TSessionQuery> DecodeQuery(std::span<const std::uint8_t> Bytes);
std::vector<std::uint8_t> EncodeReply(TSessionReply Reply);
std::optional<TSessionReply> DecodeReply(std::span<const std::uint8_t> Bytes);

// Packets inside a session (ENet).
enum class TPacketKind : std::uint8_t {
    Hello = 1,
    Welcome = 2,
    Refuse = 3,
    CreatePlayer = 4,
    PlayerCreated = 5,
    PlayerAdded = 6,
    PlayerRemoved = 7,
    Data = 8,
    Rejoin = 9,
    HostLeaving = 10,
    Challenge = 11,
    Ack = 12,
    Stable = 13,
    Reachable = 14,
};

// A player as machines tell each other: its machine is where it can be reached should the
// host go, and that machine's key is what its messages and its claim after a change of host
// must be signed with. MachineIp 0 means "the host's own address" (the receiver knows it). Seq
// is the last guaranteed message of the player that the host has seen, so that a newcomer takes
// only what is sent after it came.
struct TPlayerEntry {
    std::uint32_t Id = 0;
    std::uint32_t MachineIp = 0; // network order
    std::uint16_t MachinePort = 0;
    TMachineKey Key{};
    std::uint32_t Seq = 0;
    std::string ShortName;
    std::string LongName;
    // Where its machine is inside its own home, as it says (0: it does not know): a machine
    // behind the same router reaches it there, since routers seldom loop back to their inside.
    std::uint32_t InsideIp = 0;
    std::uint16_t InsidePort = 0;
    // Where its machine's router forwards its session port from outside (0: nowhere known): a
    // machine in another home reaches it there should it host.
    std::uint32_t PublicIp = 0;
    std::uint16_t PublicPort = 0;
};

// How far one player's guaranteed messages have come: received (an acknowledgement to the
// host), or received by every machine that should have them (the host to their sender).
struct TMark {
    std::uint32_t Player = 0;
    std::uint32_t Seq = 0;
    bool operator==(const TMark&) const = default;
};

struct THello {
    GUID Application{};
    GUID Instance{};
    TMachineKey Key{};
    std::uint32_t InsideIp = 0; // network order; 0: not known
    std::uint16_t InsidePort = 0;
};

struct TWelcome {
    GUID Instance{};
    std::uint32_t Flags = 0;
    std::uint32_t MaxPlayers = 0;
    std::uint32_t NextId = 0;
    std::string Name;
    std::vector<TPlayerEntry> Players;
    // The address the host sees the welcomed machine at: machines seen at the same one share a
    // router, and reach each other inside.
    std::uint32_t SeenIp = 0;
};

struct TRefuse {
    std::uint32_t Code = 0;
};

struct TCreatePlayer {
    std::uint32_t Nonce = 0;
    std::string ShortName;
    std::string LongName;
};

struct TPlayerCreated {
    std::uint32_t Nonce = 0;
    std::uint32_t Code = 0; // an HRESULT; Id is valid when it is 0
    std::uint32_t Id = 0;
};

struct TPlayerAdded {
    TPlayerEntry Player;
};

struct TPlayerRemoved {
    std::uint32_t Id = 0;
};

// An application message, signed by the machine of its sender so that nobody on the way (the
// host included) can put words in another player's mouth. Seq counts the sending machine's
// messages; receivers take each guaranteed one once, and a plain one only if it is newer than
// the last, so neither can be replayed.
struct TData {
    std::uint32_t From = 0;
    std::uint32_t To = 0;
    std::uint32_t Seq = 0;
    std::uint8_t Guaranteed = 0;
    TSignature Signature{};
    std::vector<std::uint8_t> Payload;
};

// Sent to the new host after the old one went: the machine's own players, signed together with
// the host's challenge for this connection, and how far it has received each player's
// guaranteed messages (so that the senders' copies are kept until it has them all).
struct TRejoin {
    GUID Application{};
    GUID Instance{};
    TSignature Proof{};
    std::vector<TPlayerEntry> Own;
    std::vector<TMark> Received;
};

struct THostLeaving {};

// The host's first word on every connection it accepts: what a claim on it must sign, so that a
// claim cannot be used on another machine or at another time.
struct TChallenge {
    TMachineKey Nonce{};
};

struct TAck {
    std::vector<TMark> Received;
};

// Also the host's heartbeat: it goes out twice a second even when empty, so that a host that
// has gone quiet is noticed.
struct TStable {
    std::vector<TMark> Delivered;
};

// A machine's router now forwards its session port from there: where machines in other homes
// reach it should it host.
struct TReachable {
    std::uint32_t Ip = 0; // network order
    std::uint16_t Port = 0;
};

using TPacket = std::variant<THello, TWelcome, TRefuse, TCreatePlayer, TPlayerCreated, TPlayerAdded,
                             TPlayerRemoved, TData, TRejoin, THostLeaving, TChallenge, TAck,
                             TStable, TReachable>;

// The bytes a machine signs: for a message, and for a claim on its players after a change of
// host. Each starts with its own tag and names the session, so that no signature stands for
// anything else.
std::vector<std::uint8_t> SignedData(const GUID& Instance, const TData& Data);
std::vector<std::uint8_t> SignedClaim(const GUID& Instance, const TMachineKey& Challenge,
                                      const TMachineKey& Key, const std::vector<TPlayerEntry>& Own);

std::vector<std::uint8_t> EncodePacket(TPacket Packet);
std::optional<TPacket> DecodePacket(std::span<const std::uint8_t> Bytes);

// A player identifier the service may hand out.
constexpr bool ValidPlayerId(std::uint32_t Id) {
    return Id >= 2 && Id <= 0x7FFFFFFF;
}

} // namespace dplay
