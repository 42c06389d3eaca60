#pragma once
// The four messages players exchange, read and written in one place. No message carries a
// length or a version: a receiver tells them apart by size and kind byte alone, so some texts
// cannot cross as chat (two characters starting with byte 1 read as a control message, a text
// one byte shorter than the hull texture as pixels). A state leaves the decoder already through
// the yacht model's clamping, so nothing further in ever sees raw bytes from the wire.

#include "yacht/YachtState.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

// Accepted and consumed; never sent by the game.
struct TControlMessage {
    bool operator==(const TControlMessage&) const = default;
};

struct TStateMessage {
    TYachtState State;
};

// The pixel bits of the sender's hull texture, as they stand in its bitmap file. Decoding
// views the arrived bytes; they live as long as the buffer they came in.
struct TTextureMessage {
    std::span<const std::uint8_t> Pixels;
};

// Shift-JIS bytes without the terminating zero.
struct TChatMessage {
    std::string Text;
    bool operator==(const TChatMessage&) const = default;
};

using TGameMessage = std::variant<TControlMessage, TStateMessage, TTextureMessage, TChatMessage>;

inline constexpr std::int32_t kControlMessageSize = 3;
inline constexpr std::int32_t kStateMessageSize = 28;
// 128 x 128 pixels at 24 bits: the texture every player expects until told otherwise.
inline constexpr std::int32_t kTextureMessageSize = 49152;

// Empty for what no session hands over: a negative size, or a positive one without bytes.
// ExpectedTextureSize is the length that marks hull texture pixels; anything that is neither
// control, state nor texture is chat, up to its first zero byte (or all of it).
std::optional<TGameMessage> DecodeGameMessage(const void* Data, std::int32_t Size,
                                              std::int32_t ExpectedTextureSize);

// The bytes to send. A state goes byte for byte after its kind and three zero padding bytes.
std::vector<std::uint8_t> EncodeGameMessage(const TGameMessage& Message);
