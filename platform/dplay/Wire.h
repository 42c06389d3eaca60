#pragma once
// The bytes the session service puts on the wire and in its connection data. Each message has
// one Transfer function that both writes and reads it, so the two directions cannot drift
// apart. Reading never trusts its input: lengths are checked against what is left, names are at
// most 255 bytes, payloads at most 1 MiB, lists bounded; anything else makes Decode fail.

#include "platform/com/Com.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace dplay {

inline constexpr std::uint8_t kWireVersion = 2;
inline constexpr std::size_t kMaxMessageSize = 1u << 20;
inline constexpr std::size_t kMaxNameSize = 255;
// More players than a session would ever list; bounds what one packet may claim.
inline constexpr std::size_t kMaxListedPlayers = 1024;

// The fixed UDP port on which a host answers session queries (README: "Finding sessions").
inline constexpr std::uint16_t kDefaultQueryPort = 29540;

// A machine's proof of who it is: a random secret it keeps, and that secret's hash, which the
// host hands to every machine along with the players it owns. Only the owner can later show a
// secret that hashes to it.
using TMachineKey = std::array<std::uint8_t, 32>;

class TWireWriter {
public:
    static constexpr bool Reading = false;
    void U8(std::uint8_t& V) { Bytes.push_back(V); }
    void Key(TMachineKey& V) { Bytes.insert(Bytes.end(), V.begin(), V.end()); }
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
    void Key(TMachineKey& V);
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
enum class TProviderKind : std::uint8_t { TcpIp = 1, Loopback = 2 };

struct TConnectionData {
    std::uint32_t Size = 0;
    std::uint32_t Magic = 0;
    std::uint8_t Version = kWireVersion;
    TProviderKind Kind = TProviderKind::TcpIp;
    std::uint16_t QueryPort = kDefaultQueryPort;
    std::uint16_t SessionPort = 0; // 0: any free port
    std::string Host;              // empty: ask the player when the search starts
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
};

// A player as machines tell each other: its machine is where it can be reached should the
// host go, and that machine's key hash is what it must match to claim the player back then.
// MachineIp 0 means "the host's own address" (the receiver knows it).
struct TPlayerEntry {
    std::uint32_t Id = 0;
    std::uint32_t MachineIp = 0; // network order
    std::uint16_t MachinePort = 0;
    TMachineKey KeyHash{};
    std::string ShortName;
    std::string LongName;
};

struct THello {
    GUID Application{};
    GUID Instance{};
    TMachineKey KeyHash{};
};

struct TWelcome {
    GUID Instance{};
    std::uint32_t Flags = 0;
    std::uint32_t MaxPlayers = 0;
    std::uint32_t NextId = 0;
    std::string Name;
    std::vector<TPlayerEntry> Players;
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

struct TData {
    std::uint32_t From = 0;
    std::uint32_t To = 0;
    std::vector<std::uint8_t> Payload;
};

// Sent to the new host after the old one went: the machine's own players, the highest
// identifier it has seen (so no identifier is handed out twice), the secret behind the key hash
// the others hold for it, and the hash of a fresh secret for the next change of host (this one
// is spent once revealed).
struct TRejoin {
    GUID Application{};
    GUID Instance{};
    std::uint32_t NextId = 0;
    TMachineKey Secret{};
    TMachineKey NextKeyHash{};
    std::vector<TPlayerEntry> Own;
};

struct THostLeaving {};

using TPacket = std::variant<THello, TWelcome, TRefuse, TCreatePlayer, TPlayerCreated, TPlayerAdded,
                             TPlayerRemoved, TData, TRejoin, THostLeaving>;

std::vector<std::uint8_t> EncodePacket(TPacket Packet);
std::optional<TPacket> DecodePacket(std::span<const std::uint8_t> Bytes);

// A player identifier the service may hand out.
constexpr bool ValidPlayerId(std::uint32_t Id) {
    return Id >= 2 && Id <= 0x7FFFFFFF;
}

} // namespace dplay
