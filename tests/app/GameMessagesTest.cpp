// The game-message codec on its own: what each byte sequence decodes to, and that every
// message written reads back as itself, where the wire can tell it apart at all.
#include "app/GameMessages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

using TBytes = std::vector<std::uint8_t>;

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

TYachtState StateOf(float X, float Heel, float WindAngle, float Heading = 90) {
    TYachtState s;
    s.X = X;
    s.Z = -X;
    s.Heading = Heading;
    s.Heel = Heel;
    s.WindAngle = WindAngle;
    s.Tack = 1;
    s.SailsTrimmed = 1;
    s.Spinnaker = 1;
    return s;
}

TBytes StateBytes(const TYachtState& S) {
    TBytes b(28, 0xEE); // the padding is never read
    b[0] = 2;
    std::memcpy(b.data() + 4, &S, sizeof S);
    return b;
}

std::optional<TGameMessage> Decode(const TBytes& B, std::int32_t Expected = kTextureMessageSize) {
    return DecodeGameMessage(B.data(), static_cast<std::int32_t>(B.size()), Expected);
}

TEST(GameMessageCodec, EachMessageIsToldApartBySizeAndKindInOrder) {
    TBytes texture(kTextureMessageSize, 0x41);
    TBytes state28(28, 0x43);
    state28[0] = 3;
    state28[5] = 0;
    struct {
        const char* What;
        TBytes Bytes;
        std::int32_t Expected;
        std::size_t Kind; // index in TGameMessage
        std::string Chat;
    } cases[] = {
        {"control", {1, 0, 7}, kTextureMessageSize, 0, ""},
        {"state", StateBytes(StateOf(1, 2, 3)), kTextureMessageSize, 1, ""},
        {"texture", texture, kTextureMessageSize, 2, ""},
        {"texture wins over chat", {0x41, 0x42, 0}, 3, 2, ""},
        {"control wins over texture", {1, 0, 0}, 3, 0, ""},
        {"state wins over texture", StateBytes({}), 28, 1, ""},
        {"chat", {0x41, 0x42, 0}, kTextureMessageSize, 3, "AB"},
        {"chat without its zero", {0x41, 0x42}, kTextureMessageSize, 3, "AB"},
        {"empty chat", {0}, kTextureMessageSize, 3, ""},
        {"nothing at all", {}, kTextureMessageSize, 3, ""},
        {"3 bytes of another kind",
         {2, 0x41, 0},
         kTextureMessageSize,
         3,
         "\x02"
         "A"},
        {"28 bytes of another kind", state28, kTextureMessageSize, 3,
         "\x03"
         "CCCC"},
        {"chat stops at its first zero",
         {0x82, 0xA0, 0, 0x41, 0},
         kTextureMessageSize,
         3,
         "\x82\xA0"},
    };
    for (const auto& c : cases) {
        const std::optional<TGameMessage> m = Decode(c.Bytes, c.Expected);
        ASSERT_TRUE(m.has_value()) << c.What;
        EXPECT_EQ(m->index(), c.Kind) << c.What;
        if (const auto* chat = std::get_if<TChatMessage>(&*m)) {
            EXPECT_EQ(chat->Text, c.Chat) << c.What;
        }
        if (const auto* t = std::get_if<TTextureMessage>(&*m)) {
            EXPECT_EQ(t->Pixels.data(), c.Bytes.data()) << c.What << ": a view, not a copy";
        }
    }
}

TEST(GameMessageCodec, WhatNoSessionHandsOverIsNoMessage) {
    const std::uint8_t byte = 0;
    EXPECT_FALSE(DecodeGameMessage(&byte, -1, kTextureMessageSize).has_value());
    EXPECT_FALSE(DecodeGameMessage(nullptr, 3, kTextureMessageSize).has_value());
    EXPECT_TRUE(DecodeGameMessage(nullptr, 0, kTextureMessageSize).has_value());
}

TEST(GameMessageCodec, AStateIsClampedBeforeAnyoneSeesIt) {
    struct {
        TYachtState Sent, Seen;
    } cases[] = {
        {StateOf(100, 10, 90), StateOf(100, 10, 90)},
        {StateOf(50000, 60, -90), StateOf(32000, 45, 0)},
        {StateOf(kInf, kInf, kInf), StateOf(32000, 45, 180)},
        {StateOf(-kInf, -kInf, -kInf), StateOf(-32000, -45, 0)},
        {StateOf(kNaN, kNaN, kNaN), StateOf(0, 0, 0)},
        // An angle the scene would otherwise reduce modulo 360 (to 120) stands for "astern".
        {StateOf(0, 0, 3e9f), StateOf(0, 0, 180)},
        // The heading is taken as it comes: the model and the scene both reduce it alike.
        {StateOf(0, 0, 0, 3e9f), StateOf(0, 0, 0, 3e9f)},
    };
    for (const auto& c : cases) {
        TYachtState sent = c.Sent;
        sent.Reserved = 0xAB;
        const std::optional<TGameMessage> m = Decode(StateBytes(sent));
        ASSERT_TRUE(m && std::holds_alternative<TStateMessage>(*m));
        const TYachtState seen = std::get<TStateMessage>(*m).State;
        // Compared as numbers: NaN comes out as +0 where the table's -X says -0.
        for (auto field : {&TYachtState::X, &TYachtState::Z, &TYachtState::Heading,
                           &TYachtState::Heel, &TYachtState::WindAngle})
            EXPECT_EQ(seen.*field, c.Seen.*field) << c.Sent.X << " " << c.Sent.WindAngle;
        EXPECT_EQ(seen.Tack, 1);
        EXPECT_EQ(seen.SailsTrimmed, 1);
        EXPECT_EQ(seen.Spinnaker, 1);
        EXPECT_EQ(seen.Reserved, 0);
    }
}

TEST(GameMessageCodec, EveryMessageTheGameSendsReadsBackAsItself) {
    const TBytes pixels(kTextureMessageSize, 0x5A);
    const TGameMessage messages[] = {
        TControlMessage{},
        TStateMessage{StateOf(12.5f, -8, 60)},
        TStateMessage{StateOf(-2000, 45, 180, 359)},
        TTextureMessage{pixels},
        TChatMessage{""},
        TChatMessage{"AB"},
        TChatMessage{"\x82\xB1\x82\xF1\x82\xC9\x82\xBF\x82\xCD"},
        TChatMessage{std::string(26, '\x02')}, // 27 bytes on the wire, not 28
        TChatMessage{std::string(60000, 'x')},
    };
    for (const TGameMessage& sent : messages) {
        const TBytes bytes = EncodeGameMessage(sent);
        const std::optional<TGameMessage> got = Decode(bytes);
        ASSERT_TRUE(got.has_value());
        ASSERT_EQ(got->index(), sent.index()) << bytes.size() << " bytes";
        if (const auto* s = std::get_if<TStateMessage>(&sent)) {
            EXPECT_EQ(bytes.size(), 28u);
            EXPECT_EQ(std::memcmp(bytes.data() + 4, &s->State, sizeof s->State), 0);
            const TYachtState back = std::get<TStateMessage>(*got).State;
            EXPECT_EQ(std::memcmp(&back, &s->State, sizeof back), 0);
        } else if (const auto* t = std::get_if<TTextureMessage>(&sent)) {
            EXPECT_TRUE(std::ranges::equal(std::get<TTextureMessage>(*got).Pixels, t->Pixels));
        } else if (const auto* c = std::get_if<TChatMessage>(&sent)) {
            EXPECT_EQ(bytes.size(), c->Text.size() + 1);
            EXPECT_EQ(bytes.back(), 0);
            EXPECT_EQ(std::get<TChatMessage>(*got), *c);
        } else {
            EXPECT_EQ(bytes, (TBytes{1, 0, 0}));
        }
    }
}

TEST(GameMessageCodec, ChatShapedLikeAnotherMessageIsTakenAsThatMessage) {
    // The wire has no kind byte for chat: these texts cannot cross as chat, and the receiver
    // must take them as what their shape says, not guess.
    EXPECT_TRUE(
        std::holds_alternative<TControlMessage>(*Decode(EncodeGameMessage(TChatMessage{"\x01X"}))));
    EXPECT_TRUE(std::holds_alternative<TStateMessage>(
        *Decode(EncodeGameMessage(TChatMessage{std::string(27, '\x02')}))));
    EXPECT_TRUE(std::holds_alternative<TTextureMessage>(
        *Decode(EncodeGameMessage(TChatMessage{std::string(kTextureMessageSize - 1, 'a')}))));
}

} // namespace
