#pragma once
// The STUN and TURN messages this machine exchanges with an address server and a relay on its
// session socket, and the relay's ChannelData framing. Every byte read here came from another
// machine: decoding checks each length against what is left and refuses anything malformed
// rather than guessing. Only IPv4 addresses are read; an IPv6 one is skipped as if absent,
// since the session socket is IPv4 and could not use it.

#include <array>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace dplay {

inline constexpr std::uint32_t kStunMagicCookie = 0x2112A442;
inline constexpr std::size_t kStunHeaderSize = 20;
// Longest texts a message may carry (RFC 5389 §15): longer ones are refused both ways.
inline constexpr std::size_t kStunMaxUsernameSize = 512;
inline constexpr std::size_t kStunMaxTextSize = 763;

enum class TStunMethod : std::uint16_t {
    Binding = 0x001,
    Allocate = 0x003,
    Refresh = 0x004,
    Send = 0x006,
    Data = 0x007,
    CreatePermission = 0x008,
    ChannelBind = 0x009,
};
enum class TStunClass : std::uint8_t { Request = 0, Indication = 1, Success = 2, Error = 3 };

using TStunTransactionId = std::array<std::uint8_t, 12>;

// An IPv4 transport address as ENet keeps one: Ip in network order, Port in host order.
struct TStunAddress {
    std::uint32_t Ip = 0;
    std::uint16_t Port = 0;
    auto operator<=>(const TStunAddress&) const = default;
};

struct TStunError {
    std::uint16_t Code = 0; // 300..699
    std::string Reason;
    bool operator==(const TStunError&) const = default;
};

// One message, its attributes by meaning. Encoding writes the set ones; decoding fills those it
// found (the first of each, as later copies must be ignored).
struct TStunMessage {
    TStunMethod Method = TStunMethod::Binding;
    TStunClass Class = TStunClass::Request;
    TStunTransactionId Id{};
    std::optional<TStunAddress> Mapped;
    std::optional<TStunAddress> XorMapped;
    std::optional<TStunAddress> XorPeer;
    std::optional<TStunAddress> XorRelayed;
    std::optional<std::string> Username;
    std::optional<std::string> Realm;
    std::optional<std::string> Nonce;
    std::optional<TStunError> Error;
    std::optional<std::uint32_t> Lifetime;          // seconds
    std::optional<std::uint8_t> RequestedTransport; // IP protocol number: 17 for UDP
    std::optional<std::uint16_t> Channel;
    std::optional<std::vector<std::uint8_t>> Data;

    // Decoding only. Whether a MESSAGE-INTEGRITY was present (CheckStunIntegrity says whether
    // it is right), and the attributes the sender said must be understood that are not (at
    // most kMaxUnknown of them are listed).
    bool HasIntegrity = false;
    std::vector<std::uint16_t> UnknownRequired;
    static constexpr std::size_t kMaxUnknown = 8;
};

// A cheap look at a datagram on the session socket: whether it is shaped like a STUN message
// (top two bits clear, the magic cookie, a length that is a multiple of 4 and is the rest).
// The session's own datagrams never pass, so they may go on to ENet untouched.
bool IsStun(std::span<const std::uint8_t> Bytes);

std::optional<TStunMessage> DecodeStun(std::span<const std::uint8_t> Bytes);

// The message's bytes, with MESSAGE-INTEGRITY keyed with Key when Key is not empty. Empty when
// a text is over its limit or the message would not fit a STUN length.
std::vector<std::uint8_t> EncodeStun(const TStunMessage& Message,
                                     std::span<const std::uint8_t> Key = {});

// Whether Bytes (a message DecodeStun accepts) carries a MESSAGE-INTEGRITY that Key produced.
// The key is raw bytes: a short-term credential's is the password itself, a long-term one's
// LongTermKey.
bool CheckStunIntegrity(std::span<const std::uint8_t> Bytes, std::span<const std::uint8_t> Key);

using TStunKey = std::array<std::uint8_t, 16>;
// MD5(username ":" realm ":" password). The password is taken as given: the relay's
// passwords are base64 text, which needs no preparation.
TStunKey LongTermKey(std::string_view Username, std::string_view Realm, std::string_view Password);

// A relay's short framing for a bound channel: channel number, length, payload, padding.
inline constexpr std::uint16_t kFirstChannel = 0x4000;
inline constexpr std::uint16_t kLastChannel = 0x7FFF;
inline constexpr std::size_t kChannelDataHeaderSize = 4;

struct TChannelData {
    std::uint16_t Channel = 0;
    std::span<const std::uint8_t> Payload; // within the decoded bytes
};

bool IsChannelData(std::span<const std::uint8_t> Bytes);
std::optional<TChannelData> DecodeChannelData(std::span<const std::uint8_t> Bytes);
// Empty when Channel is out of range or Payload over 65535 bytes.
std::vector<std::uint8_t> EncodeChannelData(std::uint16_t Channel,
                                            std::span<const std::uint8_t> Payload);

} // namespace dplay
