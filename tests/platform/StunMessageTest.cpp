// The relay messages against the published STUN test vectors (RFC 5769), which other
// implementations were checked against too, and against bytes no honest sender writes.
#include "platform/dplay/StunMessage.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <string>
#include <vector>

using namespace dplay;

namespace {

using TBytes = std::vector<std::uint8_t>;

std::span<const std::uint8_t> AsBytes(std::string_view S) {
    return {reinterpret_cast<const std::uint8_t*>(S.data()), S.size()};
}

std::uint32_t Ip(const char* Text) {
    in_addr a{};
    inet_pton(AF_INET, Text, &a);
    return a.s_addr;
}

const TStunTransactionId kVectorId{0xb7, 0xe7, 0xa7, 0x01, 0xbc, 0x34,
                                   0xd6, 0x86, 0xfa, 0x87, 0xdf, 0xae};
constexpr std::string_view kShortTermPassword = "VOkJxbRl1RmTxUk/WvJxBt";

// A request with a short-term credential; its USERNAME is padded with spaces, not zeros.
const TBytes kRequest{
    0x00, 0x01, 0x00, 0x58, 0x21, 0x12, 0xa4, 0x42, 0xb7, 0xe7, 0xa7, 0x01, 0xbc, 0x34, 0xd6, 0x86,
    0xfa, 0x87, 0xdf, 0xae, 0x80, 0x22, 0x00, 0x10, 0x53, 0x54, 0x55, 0x4e, 0x20, 0x74, 0x65, 0x73,
    0x74, 0x20, 0x63, 0x6c, 0x69, 0x65, 0x6e, 0x74, 0x00, 0x24, 0x00, 0x04, 0x6e, 0x00, 0x01, 0xff,
    0x80, 0x29, 0x00, 0x08, 0x93, 0x2f, 0xf9, 0xb1, 0x51, 0x26, 0x3b, 0x36, 0x00, 0x06, 0x00, 0x09,
    0x65, 0x76, 0x74, 0x6a, 0x3a, 0x68, 0x36, 0x76, 0x59, 0x20, 0x20, 0x20, 0x00, 0x08, 0x00, 0x14,
    0x9a, 0xea, 0xa7, 0x0c, 0xbf, 0xd8, 0xcb, 0x56, 0x78, 0x1e, 0xf2, 0xb5, 0xb2, 0xd3, 0xf2, 0x49,
    0xc1, 0xb5, 0x71, 0xa2, 0x80, 0x28, 0x00, 0x04, 0xe5, 0x7a, 0x3b, 0xcf};

const TBytes kIpv4Response{
    0x01, 0x01, 0x00, 0x3c, 0x21, 0x12, 0xa4, 0x42, 0xb7, 0xe7, 0xa7, 0x01, 0xbc, 0x34, 0xd6, 0x86,
    0xfa, 0x87, 0xdf, 0xae, 0x80, 0x22, 0x00, 0x0b, 0x74, 0x65, 0x73, 0x74, 0x20, 0x76, 0x65, 0x63,
    0x74, 0x6f, 0x72, 0x20, 0x00, 0x20, 0x00, 0x08, 0x00, 0x01, 0xa1, 0x47, 0xe1, 0x12, 0xa6, 0x43,
    0x00, 0x08, 0x00, 0x14, 0x2b, 0x91, 0xf5, 0x99, 0xfd, 0x9e, 0x90, 0xc3, 0x8c, 0x74, 0x89, 0xf9,
    0x2a, 0xf9, 0xba, 0x53, 0xf0, 0x6b, 0xe7, 0xd7, 0x80, 0x28, 0x00, 0x04, 0xc0, 0x7d, 0x4c, 0x96};

const TBytes kIpv6Response{
    0x01, 0x01, 0x00, 0x48, 0x21, 0x12, 0xa4, 0x42, 0xb7, 0xe7, 0xa7, 0x01, 0xbc, 0x34, 0xd6, 0x86,
    0xfa, 0x87, 0xdf, 0xae, 0x80, 0x22, 0x00, 0x0b, 0x74, 0x65, 0x73, 0x74, 0x20, 0x76, 0x65, 0x63,
    0x74, 0x6f, 0x72, 0x20, 0x00, 0x20, 0x00, 0x14, 0x00, 0x02, 0xa1, 0x47, 0x01, 0x13, 0xa9, 0xfa,
    0xa5, 0xd3, 0xf1, 0x79, 0xbc, 0x25, 0xf4, 0xb5, 0xbe, 0xd2, 0xb9, 0xd9, 0x00, 0x08, 0x00, 0x14,
    0xa3, 0x82, 0x95, 0x4e, 0x4b, 0xe6, 0x7b, 0xf1, 0x17, 0x84, 0xc9, 0x7c, 0x82, 0x92, 0xc2, 0x75,
    0xbf, 0xe3, 0xed, 0x41, 0x80, 0x28, 0x00, 0x04, 0xc8, 0xfb, 0x0b, 0x4c};

// A request with a long-term credential: USERNAME, NONCE, REALM, MESSAGE-INTEGRITY.
const TBytes kLongTermRequest{
    0x00, 0x01, 0x00, 0x60, 0x21, 0x12, 0xa4, 0x42, 0x78, 0xad, 0x34, 0x33, 0xc6, 0xad, 0x72,
    0xc0, 0x29, 0xda, 0x41, 0x2e, 0x00, 0x06, 0x00, 0x12, 0xe3, 0x83, 0x9e, 0xe3, 0x83, 0x88,
    0xe3, 0x83, 0xaa, 0xe3, 0x83, 0x83, 0xe3, 0x82, 0xaf, 0xe3, 0x82, 0xb9, 0x00, 0x00, 0x00,
    0x15, 0x00, 0x1c, 0x66, 0x2f, 0x2f, 0x34, 0x39, 0x39, 0x6b, 0x39, 0x35, 0x34, 0x64, 0x36,
    0x4f, 0x4c, 0x33, 0x34, 0x6f, 0x4c, 0x39, 0x46, 0x53, 0x54, 0x76, 0x79, 0x36, 0x34, 0x73,
    0x41, 0x00, 0x14, 0x00, 0x0b, 0x65, 0x78, 0x61, 0x6d, 0x70, 0x6c, 0x65, 0x2e, 0x6f, 0x72,
    0x67, 0x00, 0x00, 0x08, 0x00, 0x14, 0xf6, 0x70, 0x24, 0x65, 0x6d, 0xd6, 0x4a, 0x3e, 0x02,
    0xb8, 0xe0, 0x71, 0x2e, 0x85, 0xc9, 0xa2, 0x8c, 0xa8, 0x96, 0x66};
const std::string kLongTermUser = "\xe3\x83\x9e\xe3\x83\x88\xe3\x83\xaa\xe3\x83\x83\xe3\x82\xaf"
                                  "\xe3\x82\xb9";

TEST(StunMessage, ShortTermVectorsDecodeAndVerify) {
    for (const TBytes* bytes : {&kRequest, &kIpv4Response, &kIpv6Response}) {
        ASSERT_TRUE(IsStun(*bytes));
        const auto m = DecodeStun(*bytes);
        ASSERT_TRUE(m);
        EXPECT_EQ(m->Id, kVectorId);
        EXPECT_TRUE(m->HasIntegrity);
        EXPECT_TRUE(CheckStunIntegrity(*bytes, AsBytes(kShortTermPassword)));
        EXPECT_FALSE(CheckStunIntegrity(*bytes, AsBytes("VOkJxbRl1RmTxUk/WvJxBT")));
    }
    const auto request = DecodeStun(kRequest);
    EXPECT_EQ(request->Class, TStunClass::Request);
    EXPECT_EQ(request->Username, "evtj:h6vY");
    // PRIORITY is an ICE attribute the relay client has no use for, but must see it was there.
    EXPECT_EQ(request->UnknownRequired, std::vector<std::uint16_t>{0x0024});

    const auto v4 = DecodeStun(kIpv4Response);
    EXPECT_EQ(v4->Class, TStunClass::Success);
    EXPECT_EQ(v4->XorMapped, (TStunAddress{Ip("192.0.2.1"), 32853}));
    EXPECT_FALSE(DecodeStun(kIpv6Response)->XorMapped);
}

TEST(StunMessage, LongTermVectorVerifiesAndEncodesToTheSameBytes) {
    const auto m = DecodeStun(kLongTermRequest);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->Username, kLongTermUser);
    EXPECT_EQ(m->Realm, "example.org");
    EXPECT_EQ(m->Nonce, "f//499k954d6OL34oL9FSTvy64sA");
    const TStunKey key = LongTermKey(kLongTermUser, "example.org", "TheMatrIX");
    EXPECT_TRUE(CheckStunIntegrity(kLongTermRequest, key));
    EXPECT_EQ(EncodeStun(*m, key), kLongTermRequest);
}

TEST(StunMessage, EveryAttributeSurvivesEncoding) {
    TStunMessage m;
    m.Method = TStunMethod::ChannelBind;
    m.Class = TStunClass::Error;
    m.Id = kVectorId;
    m.Mapped = TStunAddress{Ip("10.1.2.3"), 1};
    m.XorMapped = TStunAddress{Ip("203.0.113.9"), 65535};
    m.XorPeer = TStunAddress{Ip("198.51.100.7"), 29540};
    m.XorRelayed = TStunAddress{Ip("127.0.0.1"), 49152};
    m.Username = "1700000000:marevo";
    m.Realm = "lab";
    m.Nonce = std::string(kStunMaxTextSize, 'n');
    m.Error = TStunError{438, "Stale Nonce"};
    m.Lifetime = 600;
    m.RequestedTransport = 17;
    m.Channel = 0x4001;
    m.Data = TBytes{1, 2, 3, 4, 5};
    const TBytes key{'k'};
    const TBytes bytes = EncodeStun(m, key);
    const auto back = DecodeStun(bytes);
    ASSERT_TRUE(back);
    EXPECT_TRUE(CheckStunIntegrity(bytes, key));
    EXPECT_EQ(back->Method, m.Method);
    EXPECT_EQ(back->Class, m.Class);
    EXPECT_EQ(back->Mapped, m.Mapped);
    EXPECT_EQ(back->XorMapped, m.XorMapped);
    EXPECT_EQ(back->XorPeer, m.XorPeer);
    EXPECT_EQ(back->XorRelayed, m.XorRelayed);
    EXPECT_EQ(back->Username, m.Username);
    EXPECT_EQ(back->Realm, m.Realm);
    EXPECT_EQ(back->Nonce, m.Nonce);
    EXPECT_EQ(back->Error, m.Error);
    EXPECT_EQ(back->Lifetime, m.Lifetime);
    EXPECT_EQ(back->RequestedTransport, m.RequestedTransport);
    EXPECT_EQ(back->Channel, m.Channel);
    EXPECT_EQ(back->Data, m.Data);

    m.Username = std::string(kStunMaxUsernameSize + 1, 'u');
    EXPECT_TRUE(EncodeStun(m).empty());
}

TEST(StunMessage, IntegrityCoversEveryByteBeforeIt) {
    const TStunKey key = LongTermKey(kLongTermUser, "example.org", "TheMatrIX");
    for (std::size_t i = 0; i < kLongTermRequest.size() - 20; ++i) {
        TBytes bent = kLongTermRequest;
        bent[i] ^= 0x01;
        EXPECT_FALSE(CheckStunIntegrity(bent, key)) << "byte " << i;
    }
    EXPECT_FALSE(CheckStunIntegrity(EncodeStun(TStunMessage{}), key));
}

TBytes Sized(TBytes Head, std::size_t Size) {
    Head.resize(Size, 0);
    return Head;
}

// A Binding success of one attribute, the given type and value, its length left as given.
TBytes WithAttribute(std::uint16_t Type, TBytes Value, std::size_t Length) {
    TBytes m{0x01, 0x01, 0, 0, 0x21, 0x12, 0xa4, 0x42, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    m.push_back(static_cast<std::uint8_t>(Type >> 8));
    m.push_back(static_cast<std::uint8_t>(Type));
    m.push_back(static_cast<std::uint8_t>(Length >> 8));
    m.push_back(static_cast<std::uint8_t>(Length));
    m.insert(m.end(), Value.begin(), Value.end());
    m.resize((m.size() + 3) & ~std::size_t{3}, 0);
    m[3] = static_cast<std::uint8_t>(m.size() - 20);
    m[2] = static_cast<std::uint8_t>((m.size() - 20) >> 8);
    return m;
}
TBytes WithAttribute(std::uint16_t Type, TBytes Value) {
    const std::size_t size = Value.size();
    return WithAttribute(Type, std::move(Value), size);
}

TEST(StunMessage, MalformedMessagesAreRefused) {
    const TBytes good = WithAttribute(0x0020, {0, 1, 0xa1, 0x47, 0xe1, 0x12, 0xa6, 0x43});
    ASSERT_TRUE(DecodeStun(good));
    const auto bent = [&](std::size_t At, std::uint8_t Value) {
        TBytes b = good;
        b[At] = Value;
        return b;
    };
    const struct {
        const char* What;
        TBytes Bytes;
    } cases[] = {
        {"shorter than a header", TBytes(good.begin(), good.begin() + 19)},
        {"top bits set", bent(0, 0x41)},
        {"no magic cookie", bent(7, 0x43)},
        {"length not a multiple of four", bent(3, 13)},
        {"length past the end", bent(3, 16)},
        {"length short of the end", Sized(good, good.size() + 4)},
        {"attribute past the end", WithAttribute(0x0006, {'a', 'b', 'c', 'd'}, 8)},
        {"truncated address", WithAttribute(0x0020, {0, 1, 0, 0, 0, 0, 0}, 7)},
        {"unknown family", WithAttribute(0x0001, {0, 3, 0, 0, 0, 0, 0, 0})},
        {"IPv4 address of IPv6 length", WithAttribute(0x0016, Sized({0, 1}, 20))},
        {"error class 7", WithAttribute(0x0009, {0, 0, 7, 0})},
        {"error class 2", WithAttribute(0x0009, {0, 0, 2, 0})},
        {"error number 100", WithAttribute(0x0009, {0, 0, 4, 100})},
        {"error code too short", WithAttribute(0x0009, {0, 0, 4})},
        {"lifetime too short", WithAttribute(0x000D, {0, 0, 1})},
        {"lifetime too long", WithAttribute(0x000D, {0, 0, 0, 0, 0, 0, 0, 1})},
        {"channel too short", WithAttribute(0x000C, {0x40, 0})},
        {"transport too short", WithAttribute(0x0019, {17})},
        {"integrity too short", WithAttribute(0x0008, TBytes(19, 0))},
        {"username too long", WithAttribute(0x0006, TBytes(kStunMaxUsernameSize + 1, 'u'))},
        {"realm too long", WithAttribute(0x0014, TBytes(kStunMaxTextSize + 1, 'r'))},
        {"reason too long", WithAttribute(0x0009, TBytes(4 + kStunMaxTextSize + 1, 4))},
    };
    for (const auto& c : cases)
        EXPECT_FALSE(DecodeStun(c.Bytes)) << c.What;
}

TEST(StunMessage, OddButHonestMessagesAreRead) {
    // An IPv6 address is skipped, not refused: the rest of the answer is still good.
    EXPECT_FALSE(DecodeStun(WithAttribute(0x0020, Sized({0, 2}, 20)))->XorMapped);
    // Unknown attributes the sender marked optional are passed over unlisted.
    EXPECT_TRUE(DecodeStun(WithAttribute(0xC001, {1, 2, 3}))->UnknownRequired.empty());
    EXPECT_EQ(DecodeStun(WithAttribute(0x7001, {}))->UnknownRequired,
              std::vector<std::uint16_t>{0x7001});
    // Only the first of a repeated attribute counts, and nothing but a FINGERPRINT after
    // MESSAGE-INTEGRITY.
    TStunMessage m;
    m.Lifetime = 600;
    TBytes bytes = EncodeStun(m, TBytes{'k'});
    const TBytes more = WithAttribute(0x000D, {0, 0, 0, 1});
    bytes.insert(bytes.end(), more.end() - 8, more.end());
    bytes[3] = static_cast<std::uint8_t>(bytes.size() - 20);
    const auto back = DecodeStun(bytes);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->Lifetime, 600u);
    EXPECT_TRUE(CheckStunIntegrity(bytes, TBytes{'k'}));
}

TEST(ChannelData, FramingIsCheckedBothWays) {
    const struct {
        const char* What;
        TBytes Bytes;
        int Payload; // -1: refused
    } cases[] = {
        {"padded", {0x40, 0x00, 0x00, 0x03, 'a', 'b', 'c', 0}, 3},
        {"unpadded", {0x7f, 0xff, 0x00, 0x03, 'a', 'b', 'c'}, 3},
        {"empty", {0x40, 0x01, 0x00, 0x00}, 0},
        {"length past the end", {0x40, 0x00, 0x00, 0x04, 'a', 'b', 'c'}, -1},
        {"more than padding after", {0x40, 0x00, 0x00, 0x00, 0, 0, 0, 0}, -1},
        {"channel below range", {0x3f, 0xff, 0x00, 0x00}, -1},
        {"channel above range", {0x80, 0x00, 0x00, 0x00}, -1},
        {"shorter than a header", {0x40, 0x00, 0x00}, -1},
    };
    for (const auto& c : cases) {
        const auto d = DecodeChannelData(c.Bytes);
        ASSERT_EQ(d.has_value(), c.Payload >= 0) << c.What;
        if (d) {
            EXPECT_EQ(d->Payload.size(), static_cast<std::size_t>(c.Payload)) << c.What;
        }
    }
    const TBytes payload{'h', 'e', 'l', 'l', 'o'};
    const TBytes framed = EncodeChannelData(0x4abc, payload);
    EXPECT_EQ(framed.size(), 12u);
    const auto d = DecodeChannelData(framed);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->Channel, 0x4abc);
    EXPECT_EQ(TBytes(d->Payload.begin(), d->Payload.end()), payload);
    EXPECT_FALSE(IsStun(framed));
    EXPECT_TRUE(EncodeChannelData(0x3fff, payload).empty());
    EXPECT_TRUE(EncodeChannelData(0x4000, TBytes(0x10000)).empty());
}

} // namespace
