// The game-message codec on its own: what each byte sequence decodes to, and that every
// message written reads back as itself, a state as the model's clamping leaves it.
#include "app/GameMessages.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>

namespace {

using TBytes = std::vector<std::uint8_t>;

constexpr float kInf = std::numeric_limits<float>::infinity();

TStateMessage StateOf(float X, float Heel, float WindAngle, float Heading = 90) {
    TYachtState s;
    s.X = s.Z = X;
    s.Heading = Heading;
    s.Heel = Heel;
    s.WindAngle = WindAngle;
    s.Tack = s.SailsTrimmed = s.Spinnaker = 1;
    return {s};
}

std::optional<TGameMessage> Decode(const TBytes& B, std::int32_t Expected = kTextureMessageSize) {
    return DecodeGameMessage(B.data(), static_cast<std::int32_t>(B.size()), Expected);
}

TEST(GameMessageCodec, EachMessageIsToldApartBySizeAndKindInThatOrder) {
    TBytes state = EncodeGameMessage(StateOf(1, 2, 3));
    TBytes otherKind = state;
    otherKind[0] = 3;
    otherKind[5] = 0;
    struct {
        TBytes Bytes;
        std::int32_t Expected;
        std::size_t Kind; // index in TGameMessage
        std::string Chat;
    } cases[] = {
        {{1, 0, 7}, kTextureMessageSize, 0, ""},
        {{1, 0, 7}, 3, 0, ""},
        {state, kTextureMessageSize, 1, ""},
        {state, 28, 1, ""},
        {TBytes(kTextureMessageSize, 0x41), kTextureMessageSize, 2, ""},
        {{0x41, 0x42, 0}, 3, 2, ""},
        {{0x41, 0x42, 0}, kTextureMessageSize, 3, "AB"},
        {{0x41, 0x42}, kTextureMessageSize, 3, "AB"},
        {{}, kTextureMessageSize, 3, ""},
        {{2, 0x41, 0},
         kTextureMessageSize,
         3,
         "\x02"
         "A"},
        {otherKind, kTextureMessageSize, 3, "\x03"},
        {{0x82, 0xA0, 0, 0x41, 0}, kTextureMessageSize, 3, "\x82\xA0"},
    };
    for (const auto& c : cases) {
        const std::optional<TGameMessage> m = Decode(c.Bytes, c.Expected);
        ASSERT_TRUE(m.has_value());
        EXPECT_EQ(m->index(), c.Kind) << c.Bytes.size() << " bytes";
        if (const auto* chat = std::get_if<TChatMessage>(&*m)) {
            EXPECT_EQ(chat->Text, c.Chat);
        }
    }
    const std::uint8_t byte = 0;
    EXPECT_FALSE(DecodeGameMessage(&byte, -1, kTextureMessageSize).has_value());
    EXPECT_FALSE(DecodeGameMessage(nullptr, 3, kTextureMessageSize).has_value());
    EXPECT_TRUE(DecodeGameMessage(nullptr, 0, kTextureMessageSize).has_value());
}

TEST(GameMessageCodec, EveryMessageReadsBackAsItselfAndAStateAsTheModelClampsIt) {
    const TBytes pixels(kTextureMessageSize, 0x5A);
    struct {
        TGameMessage Sent, Read;
    } cases[] = {
        {TControlMessage{}, TControlMessage{}},
        {StateOf(12.5f, -8, 60), StateOf(12.5f, -8, 60)},
        {StateOf(50000, 60, -90), StateOf(32000, 45, 0)},
        {StateOf(kInf, kInf, kInf), StateOf(32000, 45, 180)},
        {StateOf(-kInf, -kInf, -kInf), StateOf(-32000, -45, 0)},
        {StateOf(std::numeric_limits<float>::quiet_NaN(), 0, 0), StateOf(0, 0, 0)},
        // Reduced modulo 360 this angle would read 120; clamped it is "wind from astern".
        {StateOf(0, 0, 3e9f), StateOf(0, 0, 180)},
        {StateOf(0, 0, 0, 3e9f), StateOf(0, 0, 0, 3e9f)},
        {TTextureMessage{pixels}, TTextureMessage{pixels}},
        {TChatMessage{""}, TChatMessage{""}},
        {TChatMessage{"\x82\xB1\x82\xF1"}, TChatMessage{"\x82\xB1\x82\xF1"}},
        {TChatMessage{std::string(26, '\x02')}, TChatMessage{std::string(26, '\x02')}},
    };
    for (const auto& c : cases) {
        const TBytes bytes = EncodeGameMessage(c.Sent);
        const std::optional<TGameMessage> read = Decode(bytes);
        ASSERT_TRUE(read.has_value());
        EXPECT_EQ(read->index(), c.Read.index()) << bytes.size() << " bytes";
        EXPECT_EQ(EncodeGameMessage(*read), EncodeGameMessage(c.Read)) << bytes.size() << " bytes";
    }
    // A state crosses byte for byte behind its kind and three padding bytes.
    const TStateMessage s = StateOf(1, 2, 3);
    TBytes expected{2, 0, 0, 0};
    expected.resize(28);
    std::memcpy(expected.data() + 4, &s.State, sizeof s.State);
    EXPECT_EQ(EncodeGameMessage(s), expected);
    EXPECT_EQ(EncodeGameMessage(TChatMessage{"AB"}), (TBytes{0x41, 0x42, 0}));
}

} // namespace
