#include "StunMessage.h"

#include <algorithm>
#include <cstring>

// MD5 and HMAC-SHA1 come from libcrypto: the relay's long-term credentials are defined on
// them and libsodium, the game's other cryptography, has neither.
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>

namespace dplay {

namespace {

enum : std::uint16_t {
    kAttrMapped = 0x0001,
    kAttrUsername = 0x0006,
    kAttrIntegrity = 0x0008,
    kAttrError = 0x0009,
    kAttrChannel = 0x000C,
    kAttrLifetime = 0x000D,
    kAttrXorPeer = 0x0012,
    kAttrData = 0x0013,
    kAttrRealm = 0x0014,
    kAttrNonce = 0x0015,
    kAttrXorRelayed = 0x0016,
    kAttrRequestedTransport = 0x0019,
    kAttrXorMapped = 0x0020,
    kAttrSoftware = 0x8022,
    kAttrFingerprint = 0x8028,
};

constexpr std::size_t kIntegritySize = 20;
constexpr std::uint8_t kFamilyIpv4 = 1;
constexpr std::uint8_t kFamilyIpv6 = 2;
constexpr std::array<std::uint8_t, 4> kCookieBytes{0x21, 0x12, 0xA4, 0x42};

std::uint16_t Get16(const std::uint8_t* P) {
    return static_cast<std::uint16_t>(P[0] << 8 | P[1]);
}
std::uint32_t Get32(const std::uint8_t* P) {
    return std::uint32_t{P[0]} << 24 | std::uint32_t{P[1]} << 16 | std::uint32_t{P[2]} << 8 | P[3];
}
void Put16(std::vector<std::uint8_t>& Out, std::uint16_t V) {
    Out.push_back(static_cast<std::uint8_t>(V >> 8));
    Out.push_back(static_cast<std::uint8_t>(V));
}
void Put32(std::vector<std::uint8_t>& Out, std::uint32_t V) {
    Put16(Out, static_cast<std::uint16_t>(V >> 16));
    Put16(Out, static_cast<std::uint16_t>(V));
}
std::size_t Padded(std::size_t N) {
    return (N + 3) & ~std::size_t{3};
}

// The type field interleaves the method's twelve bits with the class's two.
std::uint16_t TypeOf(TStunMethod Method, TStunClass Class) {
    const auto m = static_cast<std::uint16_t>(Method);
    const auto c = static_cast<std::uint16_t>(Class);
    return static_cast<std::uint16_t>((m & 0x000F) | (m & 0x0070) << 1 | (m & 0x0F80) << 2 |
                                      (c & 1) << 4 | (c & 2) << 7);
}

// Where the attributes of a well-framed message lie, for decoding and for the integrity
// check alike, so that both agree on which MESSAGE-INTEGRITY counts.
struct TAttr {
    std::uint16_t Type;
    std::size_t At; // offset of the value
    std::size_t Size;
};

template <typename F> bool ForEachAttr(std::span<const std::uint8_t> Bytes, F&& Visit) {
    std::size_t at = kStunHeaderSize;
    while (at < Bytes.size()) {
        if (Bytes.size() - at < 4)
            return false;
        const TAttr a{Get16(&Bytes[at]), at + 4, Get16(&Bytes[at + 2])};
        if (Padded(a.Size) > Bytes.size() - a.At)
            return false;
        if (!Visit(a))
            return true;
        at = a.At + Padded(a.Size);
    }
    return true;
}

// False when malformed; an IPv6 address leaves Out unset, as it is of no use on an IPv4 socket.
bool ReadAddress(std::span<const std::uint8_t> V, bool Xor, std::optional<TStunAddress>& Out) {
    if (V.size() == 20 && V[1] == kFamilyIpv6)
        return true;
    if (V.size() != 8 || V[1] != kFamilyIpv4)
        return false;
    std::array<std::uint8_t, 4> ip;
    for (int i = 0; i < 4; ++i)
        ip[i] = static_cast<std::uint8_t>(V[4 + i] ^ (Xor ? kCookieBytes[i] : 0));
    TStunAddress a;
    std::memcpy(&a.Ip, ip.data(), 4);
    a.Port = static_cast<std::uint16_t>(Get16(&V[2]) ^ (Xor ? kStunMagicCookie >> 16 : 0));
    Out = a;
    return true;
}

bool ReadText(std::span<const std::uint8_t> V, std::size_t Max, std::optional<std::string>& Out) {
    if (V.size() > Max)
        return false;
    Out.emplace(V.begin(), V.end());
    return true;
}

bool ReadValue(const TAttr& A, std::span<const std::uint8_t> V, TStunMessage& M) {
    switch (A.Type) {
    case kAttrMapped:
        return M.Mapped || ReadAddress(V, false, M.Mapped);
    case kAttrXorMapped:
        return M.XorMapped || ReadAddress(V, true, M.XorMapped);
    case kAttrXorPeer:
        return M.XorPeer || ReadAddress(V, true, M.XorPeer);
    case kAttrXorRelayed:
        return M.XorRelayed || ReadAddress(V, true, M.XorRelayed);
    case kAttrUsername:
        return M.Username || ReadText(V, kStunMaxUsernameSize, M.Username);
    case kAttrRealm:
        return M.Realm || ReadText(V, kStunMaxTextSize, M.Realm);
    case kAttrNonce:
        return M.Nonce || ReadText(V, kStunMaxTextSize, M.Nonce);
    case kAttrError: {
        if (V.size() < 4 || V.size() - 4 > kStunMaxTextSize)
            return false;
        const int cls = V[2] & 7, number = V[3];
        if (cls < 3 || cls > 6 || number > 99)
            return false;
        if (!M.Error)
            M.Error = TStunError{static_cast<std::uint16_t>(cls * 100 + number),
                                 std::string(V.begin() + 4, V.end())};
        return true;
    }
    case kAttrLifetime:
        if (V.size() != 4)
            return false;
        if (!M.Lifetime)
            M.Lifetime = Get32(V.data());
        return true;
    case kAttrRequestedTransport:
        if (V.size() != 4)
            return false;
        if (!M.RequestedTransport)
            M.RequestedTransport = V[0];
        return true;
    case kAttrChannel:
        if (V.size() != 4)
            return false;
        if (!M.Channel)
            M.Channel = Get16(V.data());
        return true;
    case kAttrData:
        if (!M.Data)
            M.Data.emplace(V.begin(), V.end());
        return true;
    case kAttrIntegrity:
        return V.size() == kIntegritySize;
    case kAttrSoftware:
    case kAttrFingerprint:
        return true;
    default:
        if (A.Type < 0x8000 && M.UnknownRequired.size() < TStunMessage::kMaxUnknown)
            M.UnknownRequired.push_back(A.Type);
        return true;
    }
}

void PutAttr(std::vector<std::uint8_t>& Out, std::uint16_t Type,
             std::span<const std::uint8_t> Value) {
    Put16(Out, Type);
    Put16(Out, static_cast<std::uint16_t>(Value.size()));
    Out.insert(Out.end(), Value.begin(), Value.end());
    Out.resize(Padded(Out.size()), 0);
}

void PutAddress(std::vector<std::uint8_t>& Out, std::uint16_t Type, const TStunAddress& A,
                bool Xor) {
    std::array<std::uint8_t, 8> v{0, kFamilyIpv4};
    const auto port = static_cast<std::uint16_t>(A.Port ^ (Xor ? kStunMagicCookie >> 16 : 0));
    v[2] = static_cast<std::uint8_t>(port >> 8);
    v[3] = static_cast<std::uint8_t>(port);
    std::memcpy(&v[4], &A.Ip, 4);
    for (int i = 0; Xor && i < 4; ++i)
        v[4 + i] ^= kCookieBytes[i];
    PutAttr(Out, Type, v);
}

std::span<const std::uint8_t> AsBytes(std::string_view S) {
    return {reinterpret_cast<const std::uint8_t*>(S.data()), S.size()};
}

using TMac = std::array<std::uint8_t, kIntegritySize>;

// HMAC-SHA1 over the message up to At, its length field saying the message ends right after
// a MESSAGE-INTEGRITY placed at At, whatever follows it really.
TMac IntegrityOf(std::span<const std::uint8_t> Bytes, std::size_t At,
                 std::span<const std::uint8_t> Key) {
    std::vector<std::uint8_t> covered(Bytes.begin(), Bytes.begin() + static_cast<long>(At));
    const std::size_t length = At - kStunHeaderSize + 4 + kIntegritySize;
    covered[2] = static_cast<std::uint8_t>(length >> 8);
    covered[3] = static_cast<std::uint8_t>(length);
    TMac mac{};
    unsigned int size = 0;
    // An empty key is still a key to HMAC, but libcrypto wants a non-null pointer for it.
    static const std::uint8_t kNoKey = 0;
    HMAC(EVP_sha1(), Key.empty() ? &kNoKey : Key.data(), static_cast<int>(Key.size()),
         covered.data(), covered.size(), mac.data(), &size);
    return mac;
}

} // namespace

bool IsStun(std::span<const std::uint8_t> Bytes) {
    return Bytes.size() >= kStunHeaderSize && (Bytes[0] & 0xC0) == 0 &&
           Get32(&Bytes[4]) == kStunMagicCookie && Get16(&Bytes[2]) % 4 == 0 &&
           Get16(&Bytes[2]) == Bytes.size() - kStunHeaderSize;
}

std::optional<TStunMessage> DecodeStun(std::span<const std::uint8_t> Bytes) {
    if (!IsStun(Bytes))
        return std::nullopt;
    TStunMessage m;
    const std::uint16_t type = Get16(Bytes.data());
    m.Method =
        static_cast<TStunMethod>((type & 0x000F) | (type & 0x00E0) >> 1 | (type & 0x3E00) >> 2);
    m.Class = static_cast<TStunClass>((type >> 4 & 1) | (type >> 7 & 2));
    std::copy_n(Bytes.begin() + 8, m.Id.size(), m.Id.begin());
    bool valid = true;
    const bool framed = ForEachAttr(Bytes, [&](const TAttr& a) {
        // Only a FINGERPRINT may follow MESSAGE-INTEGRITY; anything else there is ignored.
        if (m.HasIntegrity && a.Type != kAttrFingerprint)
            return true;
        if (!ReadValue(a, Bytes.subspan(a.At, a.Size), m)) {
            valid = false;
            return false;
        }
        if (a.Type == kAttrIntegrity)
            m.HasIntegrity = true;
        return true;
    });
    if (!framed || !valid)
        return std::nullopt;
    return m;
}

std::vector<std::uint8_t> EncodeStun(const TStunMessage& M, std::span<const std::uint8_t> Key) {
    const auto tooLong = [](const std::optional<std::string>& S, std::size_t Max) {
        return S && S->size() > Max;
    };
    if (tooLong(M.Username, kStunMaxUsernameSize) || tooLong(M.Realm, kStunMaxTextSize) ||
        tooLong(M.Nonce, kStunMaxTextSize) ||
        (M.Error && M.Error->Reason.size() > kStunMaxTextSize))
        return {};
    std::vector<std::uint8_t> out;
    Put16(out, TypeOf(M.Method, M.Class));
    Put16(out, 0);
    Put32(out, kStunMagicCookie);
    out.insert(out.end(), M.Id.begin(), M.Id.end());
    if (M.Username)
        PutAttr(out, kAttrUsername, AsBytes(*M.Username));
    if (M.Nonce)
        PutAttr(out, kAttrNonce, AsBytes(*M.Nonce));
    if (M.Realm)
        PutAttr(out, kAttrRealm, AsBytes(*M.Realm));
    if (M.Mapped)
        PutAddress(out, kAttrMapped, *M.Mapped, false);
    if (M.XorMapped)
        PutAddress(out, kAttrXorMapped, *M.XorMapped, true);
    if (M.XorPeer)
        PutAddress(out, kAttrXorPeer, *M.XorPeer, true);
    if (M.XorRelayed)
        PutAddress(out, kAttrXorRelayed, *M.XorRelayed, true);
    if (M.Channel) {
        const std::array<std::uint8_t, 4> v{static_cast<std::uint8_t>(*M.Channel >> 8),
                                            static_cast<std::uint8_t>(*M.Channel), 0, 0};
        PutAttr(out, kAttrChannel, v);
    }
    if (M.Lifetime) {
        std::vector<std::uint8_t> v;
        Put32(v, *M.Lifetime);
        PutAttr(out, kAttrLifetime, v);
    }
    if (M.RequestedTransport) {
        const std::array<std::uint8_t, 4> v{*M.RequestedTransport, 0, 0, 0};
        PutAttr(out, kAttrRequestedTransport, v);
    }
    if (M.Error) {
        std::vector<std::uint8_t> v{0, 0, static_cast<std::uint8_t>(M.Error->Code / 100 & 7),
                                    static_cast<std::uint8_t>(M.Error->Code % 100)};
        v.insert(v.end(), M.Error->Reason.begin(), M.Error->Reason.end());
        PutAttr(out, kAttrError, v);
    }
    if (M.Data) {
        if (M.Data->size() > 0xFFFF)
            return {};
        PutAttr(out, kAttrData, *M.Data);
    }
    if (!Key.empty()) {
        const TMac mac = IntegrityOf(out, out.size(), Key);
        PutAttr(out, kAttrIntegrity, mac);
    }
    const std::size_t length = out.size() - kStunHeaderSize;
    if (length > 0xFFFF)
        return {};
    out[2] = static_cast<std::uint8_t>(length >> 8);
    out[3] = static_cast<std::uint8_t>(length);
    return out;
}

bool CheckStunIntegrity(std::span<const std::uint8_t> Bytes, std::span<const std::uint8_t> Key) {
    if (!IsStun(Bytes))
        return false;
    std::optional<TAttr> found;
    const bool framed = ForEachAttr(Bytes, [&](const TAttr& a) {
        if (a.Type != kAttrIntegrity)
            return true;
        found = a;
        return false;
    });
    if (!framed || !found || found->Size != kIntegritySize)
        return false;
    const TMac mac = IntegrityOf(Bytes, found->At - 4, Key);
    return CRYPTO_memcmp(mac.data(), &Bytes[found->At], mac.size()) == 0;
}

TStunKey LongTermKey(std::string_view Username, std::string_view Realm, std::string_view Password) {
    std::string joined;
    joined.reserve(Username.size() + Realm.size() + Password.size() + 2);
    joined.append(Username).append(":").append(Realm).append(":").append(Password);
    TStunKey key{};
    unsigned int size = 0;
    EVP_Digest(joined.data(), joined.size(), key.data(), &size, EVP_md5(), nullptr);
    return key;
}

bool IsChannelData(std::span<const std::uint8_t> Bytes) {
    if (Bytes.size() < kChannelDataHeaderSize)
        return false;
    const std::uint16_t channel = Get16(Bytes.data());
    return channel >= kFirstChannel && channel <= kLastChannel;
}

std::optional<TChannelData> DecodeChannelData(std::span<const std::uint8_t> Bytes) {
    if (!IsChannelData(Bytes))
        return std::nullopt;
    const std::size_t length = Get16(&Bytes[2]);
    const std::size_t rest = Bytes.size() - kChannelDataHeaderSize;
    // Over UDP the padding may be left off, but never more than padding may follow.
    if (length > rest || rest - length > 3)
        return std::nullopt;
    return TChannelData{Get16(Bytes.data()), Bytes.subspan(kChannelDataHeaderSize, length)};
}

std::vector<std::uint8_t> EncodeChannelData(std::uint16_t Channel,
                                            std::span<const std::uint8_t> Payload) {
    if (Channel < kFirstChannel || Channel > kLastChannel || Payload.size() > 0xFFFF)
        return {};
    std::vector<std::uint8_t> out;
    out.reserve(kChannelDataHeaderSize + Padded(Payload.size()));
    Put16(out, Channel);
    Put16(out, static_cast<std::uint16_t>(Payload.size()));
    out.insert(out.end(), Payload.begin(), Payload.end());
    out.resize(Padded(out.size()), 0);
    return out;
}

} // namespace dplay
