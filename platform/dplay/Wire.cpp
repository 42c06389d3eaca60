#include "Wire.h"

#include <cstring>

namespace dplay {

void TWireWriter::U16(std::uint16_t& V) {
    Bytes.push_back(static_cast<std::uint8_t>(V));
    Bytes.push_back(static_cast<std::uint8_t>(V >> 8));
}

void TWireWriter::U32(std::uint32_t& V) {
    for (int i = 0; i < 4; ++i)
        Bytes.push_back(static_cast<std::uint8_t>(V >> (8 * i)));
}

void TWireWriter::Guid(GUID& V) {
    U32(V.Data1);
    U16(V.Data2);
    U16(V.Data3);
    Bytes.insert(Bytes.end(), V.Data4, V.Data4 + 8);
}

void TWireWriter::Name(std::string& V) {
    if (V.size() > kMaxNameSize) {
        Failed = true;
        return;
    }
    Bytes.push_back(static_cast<std::uint8_t>(V.size()));
    Bytes.insert(Bytes.end(), V.begin(), V.end());
}

void TWireWriter::Blob(std::vector<std::uint8_t>& V) {
    if (V.size() > kMaxMessageSize) {
        Failed = true;
        return;
    }
    auto n = static_cast<std::uint32_t>(V.size());
    U32(n);
    Bytes.insert(Bytes.end(), V.begin(), V.end());
}

bool TWireReader::Take(std::size_t N, const std::uint8_t*& P) {
    if (Failed || In.size() - Pos < N) {
        Failed = true;
        return false;
    }
    P = In.data() + Pos;
    Pos += N;
    return true;
}

void TWireReader::U8(std::uint8_t& V) {
    const std::uint8_t* p;
    V = Take(1, p) ? p[0] : 0;
}

void TWireReader::U16(std::uint16_t& V) {
    const std::uint8_t* p;
    V = Take(2, p) ? static_cast<std::uint16_t>(p[0] | (p[1] << 8)) : 0;
}

void TWireReader::U32(std::uint32_t& V) {
    const std::uint8_t* p;
    V = 0;
    if (Take(4, p))
        for (int i = 0; i < 4; ++i)
            V |= static_cast<std::uint32_t>(p[i]) << (8 * i);
}

void TWireReader::Guid(GUID& V) {
    U32(V.Data1);
    U16(V.Data2);
    U16(V.Data3);
    const std::uint8_t* p;
    if (Take(8, p))
        std::memcpy(V.Data4, p, 8);
}

void TWireReader::Name(std::string& V) {
    std::uint8_t n = 0;
    U8(n);
    const std::uint8_t* p;
    if (Take(n, p))
        V.assign(reinterpret_cast<const char*>(p), n);
}

void TWireReader::Blob(std::vector<std::uint8_t>& V) {
    std::uint32_t n = 0;
    U32(n);
    if (n > kMaxMessageSize) {
        Failed = true;
        return;
    }
    const std::uint8_t* p;
    if (Take(n, p))
        V.assign(p, p + n);
}

namespace {

template <class A, class E> void Enum8(A& Ar, E& V) {
    auto raw = static_cast<std::uint8_t>(V);
    Ar.U8(raw);
    V = static_cast<E>(raw);
}

template <class A> void Transfer(A& Ar, TConnectionData& D) {
    Ar.U32(D.Size);
    Ar.U32(D.Magic);
    Ar.U8(D.Version);
    Enum8(Ar, D.Kind);
    Ar.U16(D.QueryPort);
    Ar.U16(D.SessionPort);
    Ar.Name(D.Host);
    Ar.Name(D.BindAddress);
    if (D.Magic != kConnectionMagic || D.Version != kWireVersion ||
        (D.Kind != TProviderKind::TcpIp && D.Kind != TProviderKind::Loopback &&
         D.Kind != TProviderKind::Lobby) ||
        D.QueryPort == 0)
        Ar.Fail();
}

template <class A> void Header(A& Ar, std::uint32_t Magic, TQueryKind Kind) {
    std::uint32_t magic = Magic;
    std::uint8_t version = kWireVersion;
    auto kind = Kind;
    Ar.U32(magic);
    Ar.U8(version);
    Enum8(Ar, kind);
    if (magic != Magic || version != kWireVersion || kind != Kind)
        Ar.Fail();
}

template <class A> void Transfer(A& Ar, TSessionQuery& Q) {
    Header(Ar, kQueryMagic, TQueryKind::Query);
    Ar.U32(Q.Nonce);
    Ar.Guid(Q.Application);
}

template <class A> void Transfer(A& Ar, TSessionReply& R) {
    Header(Ar, kQueryMagic, TQueryKind::Reply);
    Ar.U32(R.Nonce);
    Ar.Guid(R.Application);
    Ar.Guid(R.Instance);
    Ar.U32(R.Flags);
    Ar.U32(R.MaxPlayers);
    Ar.U32(R.CurrentPlayers);
    Ar.U16(R.SessionPort);
    Ar.Name(R.Name);
    if (R.SessionPort == 0)
        Ar.Fail();
}

template <class A> void Transfer(A& Ar, TPlayerEntry& P) {
    Ar.U32(P.Id);
    Ar.U32(P.MachineIp);
    Ar.U16(P.MachinePort);
    Ar.U32(P.InsideIp);
    Ar.U16(P.InsidePort);
    Ar.U32(P.PublicIp);
    Ar.U16(P.PublicPort);
    Ar.Fixed(P.Key);
    Ar.U32(P.Seq);
    Ar.Name(P.ShortName);
    Ar.Name(P.LongName);
    if (!ValidPlayerId(P.Id))
        Ar.Fail();
}

template <class A> void Players(A& Ar, std::vector<TPlayerEntry>& List) {
    auto n = static_cast<std::uint32_t>(List.size());
    Ar.U32(n);
    if (n > kMaxListedPlayers) {
        Ar.Fail();
        return;
    }
    if constexpr (A::Reading)
        List.resize(n);
    for (auto& p : List) {
        Transfer(Ar, p);
        if (Ar.Failed)
            return;
    }
}

template <class A> void Marks(A& Ar, std::vector<TMark>& List) {
    auto n = static_cast<std::uint32_t>(List.size());
    Ar.U32(n);
    if (n > kMaxListedPlayers)
        return Ar.Fail();
    if constexpr (A::Reading)
        List.resize(n);
    for (auto& m : List) {
        Ar.U32(m.Player);
        Ar.U32(m.Seq);
        if (Ar.Failed || !ValidPlayerId(m.Player)) {
            Ar.Fail();
            return;
        }
    }
}

template <class A> void Transfer(A& Ar, THello& M) {
    Ar.Guid(M.Application);
    Ar.Guid(M.Instance);
    Ar.Fixed(M.Key);
    Ar.U32(M.InsideIp);
    Ar.U16(M.InsidePort);
}

template <class A> void Transfer(A& Ar, TWelcome& M) {
    Ar.Guid(M.Instance);
    Ar.U32(M.Flags);
    Ar.U32(M.MaxPlayers);
    Ar.U32(M.NextId);
    Ar.Name(M.Name);
    Ar.U32(M.SeenIp);
    Players(Ar, M.Players);
    if (!ValidPlayerId(M.NextId))
        Ar.Fail();
}

template <class A> void Transfer(A& Ar, TRefuse& M) {
    Ar.U32(M.Code);
}

template <class A> void Transfer(A& Ar, TCreatePlayer& M) {
    Ar.U32(M.Nonce);
    Ar.Name(M.ShortName);
    Ar.Name(M.LongName);
}

template <class A> void Transfer(A& Ar, TPlayerCreated& M) {
    Ar.U32(M.Nonce);
    Ar.U32(M.Code);
    Ar.U32(M.Id);
    if (M.Code == 0 && !ValidPlayerId(M.Id))
        Ar.Fail();
}

template <class A> void Transfer(A& Ar, TPlayerAdded& M) {
    Transfer(Ar, M.Player);
}

template <class A> void Transfer(A& Ar, TPlayerRemoved& M) {
    Ar.U32(M.Id);
    if (!ValidPlayerId(M.Id))
        Ar.Fail();
}

template <class A> void Transfer(A& Ar, TData& M) {
    Ar.U32(M.From);
    Ar.U32(M.To);
    Ar.U32(M.Seq);
    Ar.U8(M.Guaranteed);
    Ar.Fixed(M.Signature);
    Ar.Blob(M.Payload);
    if (!ValidPlayerId(M.From) || (M.To != 0 && !ValidPlayerId(M.To)) || M.Seq == 0 ||
        M.Guaranteed > 1)
        Ar.Fail();
}

template <class A> void Transfer(A& Ar, TRejoin& M) {
    Ar.Guid(M.Application);
    Ar.Guid(M.Instance);
    Ar.Fixed(M.Proof);
    Players(Ar, M.Own);
    Marks(Ar, M.Received);
}

template <class A> void Transfer(A&, THostLeaving&) {}

template <class A> void Transfer(A& Ar, TChallenge& M) {
    Ar.Fixed(M.Nonce);
}

template <class A> void Transfer(A& Ar, TAck& M) {
    Marks(Ar, M.Received);
}

template <class A> void Transfer(A& Ar, TStable& M) {
    Marks(Ar, M.Delivered);
}

template <class A> void Transfer(A& Ar, TReachable& M) {
    Ar.U32(M.Ip);
    Ar.U16(M.Port);
    if (M.Ip == 0 || M.Port == 0)
        Ar.Fail();
}

template <class T> std::vector<std::uint8_t> Write(T Value) {
    TWireWriter w;
    Transfer(w, Value);
    return w.Failed ? std::vector<std::uint8_t>{} : std::move(w.Bytes);
}

template <class T> std::optional<T> Read(std::span<const std::uint8_t> Bytes) {
    TWireReader r(Bytes);
    T value{};
    Transfer(r, value);
    if (r.Failed || !r.AtEnd())
        return std::nullopt;
    return value;
}

} // namespace

std::vector<std::uint8_t> EncodeConnection(TConnectionData Data) {
    Data.Magic = kConnectionMagic;
    Data.Version = kWireVersion;
    Data.Size = 0;
    auto bytes = Write(Data);
    if (bytes.empty())
        return bytes;
    const auto size = static_cast<std::uint32_t>(bytes.size());
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<std::uint8_t>(size >> (8 * i));
    return bytes;
}

std::optional<TConnectionData> DecodeConnection(std::span<const std::uint8_t> Bytes) {
    if (Bytes.size() < 4 || Bytes.size() > kMaxConnectionSize)
        return std::nullopt;
    auto data = Read<TConnectionData>(Bytes);
    if (!data || data->Size != Bytes.size())
        return std::nullopt;
    return data;
}

std::uint32_t DeclaredConnectionSize(const void* Block) {
    const auto* p = static_cast<const std::uint8_t*>(Block);
    return static_cast<std::uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16)) |
           (static_cast<std::uint32_t>(p[3]) << 24);
}

std::vector<std::uint8_t> EncodeQuery(TSessionQuery Query) {
    auto bytes = Write(Query);
    bytes.resize(kQuerySize, 0);
    return bytes;
}

std::optional<TSessionQuery> DecodeQuery(std::span<const std::uint8_t> Bytes) {
    if (Bytes.size() != kQuerySize)
        return std::nullopt;
    TWireReader r(Bytes);
    TSessionQuery q;
    Transfer(r, q);
    if (r.Failed)
        return std::nullopt;
    return q;
}

std::vector<std::uint8_t> EncodeReply(TSessionReply Reply) {
    return Write(Reply);
}

std::optional<TSessionReply> DecodeReply(std::span<const std::uint8_t> Bytes) {
    if (Bytes.size() > kMaxReplySize)
        return std::nullopt;
    return Read<TSessionReply>(Bytes);
}

namespace {

template <class A> void TransferPacket(A& Ar, TPacket& P, TPacketKind Kind) {
    switch (Kind) {
    case TPacketKind::Hello:
        return Transfer(Ar, P.emplace<THello>());
    case TPacketKind::Welcome:
        return Transfer(Ar, P.emplace<TWelcome>());
    case TPacketKind::Refuse:
        return Transfer(Ar, P.emplace<TRefuse>());
    case TPacketKind::CreatePlayer:
        return Transfer(Ar, P.emplace<TCreatePlayer>());
    case TPacketKind::PlayerCreated:
        return Transfer(Ar, P.emplace<TPlayerCreated>());
    case TPacketKind::PlayerAdded:
        return Transfer(Ar, P.emplace<TPlayerAdded>());
    case TPacketKind::PlayerRemoved:
        return Transfer(Ar, P.emplace<TPlayerRemoved>());
    case TPacketKind::Data:
        return Transfer(Ar, P.emplace<TData>());
    case TPacketKind::Rejoin:
        return Transfer(Ar, P.emplace<TRejoin>());
    case TPacketKind::HostLeaving:
        return Transfer(Ar, P.emplace<THostLeaving>());
    case TPacketKind::Challenge:
        return Transfer(Ar, P.emplace<TChallenge>());
    case TPacketKind::Ack:
        return Transfer(Ar, P.emplace<TAck>());
    case TPacketKind::Stable:
        return Transfer(Ar, P.emplace<TStable>());
    case TPacketKind::Reachable:
        return Transfer(Ar, P.emplace<TReachable>());
    }
    Ar.Fail();
}

} // namespace

std::vector<std::uint8_t> EncodePacket(TPacket Packet) {
    TWireWriter w;
    std::uint8_t version = kWireVersion;
    auto kind = static_cast<std::uint8_t>(Packet.index() + 1);
    w.U8(version);
    w.U8(kind);
    std::visit([&](auto& m) { Transfer(w, m); }, Packet);
    return w.Failed ? std::vector<std::uint8_t>{} : std::move(w.Bytes);
}

std::optional<TPacket> DecodePacket(std::span<const std::uint8_t> Bytes) {
    TWireReader r(Bytes);
    std::uint8_t version = 0, kind = 0;
    r.U8(version);
    r.U8(kind);
    if (r.Failed || version != kWireVersion)
        return std::nullopt;
    TPacket packet;
    TransferPacket(r, packet, static_cast<TPacketKind>(kind));
    if (r.Failed || !r.AtEnd())
        return std::nullopt;
    return packet;
}

namespace {

// Signed bytes start with their own tag and the session, so no signature stands for anything
// else: "MVD3" for a message, "MVR3" for a claim.
constexpr std::uint32_t kSignedDataTag = 0x3344564D;
constexpr std::uint32_t kSignedClaimTag = 0x3352564D;

void Tag(TWireWriter& W, std::uint32_t Tag, const GUID& Instance) {
    W.U32(Tag);
    GUID instance = Instance;
    W.Guid(instance);
}

} // namespace

std::vector<std::uint8_t> SignedData(const GUID& Instance, const TData& Data) {
    TWireWriter w;
    w.Bytes.reserve(32 + Data.Payload.size());
    Tag(w, kSignedDataTag, Instance);
    std::uint32_t from = Data.From, to = Data.To, seq = Data.Seq;
    std::uint8_t guaranteed = Data.Guaranteed;
    w.U32(from);
    w.U32(to);
    w.U32(seq);
    w.U8(guaranteed);
    w.Bytes.insert(w.Bytes.end(), Data.Payload.begin(), Data.Payload.end());
    return std::move(w.Bytes);
}

std::vector<std::uint8_t> SignedClaim(const GUID& Instance, const TMachineKey& Challenge,
                                      const TMachineKey& Key,
                                      const std::vector<TPlayerEntry>& Own) {
    TWireWriter w;
    Tag(w, kSignedClaimTag, Instance);
    TMachineKey challenge = Challenge, key = Key;
    w.Fixed(challenge);
    w.Fixed(key);
    for (const auto& p : Own) {
        std::uint32_t id = p.Id;
        w.U32(id);
    }
    return std::move(w.Bytes);
}

} // namespace dplay
