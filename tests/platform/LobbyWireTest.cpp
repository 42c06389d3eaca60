// Text from the lobby's room, where anyone may write anything.
#include "platform/dplay/LobbyWire.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <random>
#include <sodium.h>

using namespace dplay;

const GUID kInstance{0x1A57, 0xB, 0xC, {1, 1, 2, 3, 5, 8, 13, 21}};
const TAddress kHost{htonl(0x5DB8D822), 47624};

static TAddress At(std::uint32_t Ip, std::uint16_t Port = 9) {
    return {htonl(Ip), Port};
}

static TSessionReply Reply(std::uint16_t Port, std::uint32_t Max = 8, std::uint32_t Current = 2,
                           std::uint32_t Nonce = 0) {
    return {Nonce, {0x5EA5, 1, 2, {3}}, kInstance, 0x40, Max, Current, Port, "\xe6\xb5\xb7 sea"};
}

// A session's text with every field the reply carries, Grow bytes longer or shorter: so that
// texts our encoder would never write can be made, and two sessions compared whole.
static std::string Text(TAddress Host, const TSessionReply& R, long Grow = 0, TAddress Relay = {}) {
    auto bytes = EncodeReply(R);
    for (const TAddress* a : {&Relay, &Host}) { // each Ip, then Port
        const auto* at = reinterpret_cast<const std::uint8_t*>(a);
        bytes.insert(bytes.begin(), at, at + 6);
    }
    bytes.resize(bytes.size() + Grow);
    std::string text(sodium_base64_encoded_len(bytes.size(), sodium_base64_VARIANT_ORIGINAL), 0);
    sodium_bin2base64(text.data(), text.size(), bytes.data(), bytes.size(),
                      sodium_base64_VARIANT_ORIGINAL);
    text.pop_back();
    return text;
}

static std::string Punch(TAddress From) {
    return EncodePunchRequest({kInstance, From});
}

TEST(LobbyWire, ReadsWhatOursWriteAndRefusesAnythingElse) {
    const std::string session = EncodeLobbySession(Reply(1), kHost), punch = Punch(kHost);
    const std::string texts[] = {
        "", "!!!!", "QUJD=", "QU JD", "QUJD-_", session + "x", session + '\n',
        session + std::string(1, '\0'), punch + "QUJD", punch.substr(0, punch.size() - 4),
        std::string(kMaxLobbyText + 4, 'A'), Text(kHost, Reply(kHost.Port), 1),
        Text(kHost, Reply(kHost.Port), -1), Text(kHost, Reply(kHost.Port), -60),
        // Another port than the address's, more players than it takes, a query's nonce.
        Text(kHost, Reply(kHost.Port + 1)), Text(kHost, Reply(kHost.Port, 4, 5)),
        Text(kHost, Reply(kHost.Port, 8, 2, 7)), Text(kHost, Reply(kHost.Port), 0, At(0x7F000001)),
        // Nobody, this machine, groups and the reserved range, port 0.
        Text(At(1), Reply(9)), Text(At(0x7F000001), Reply(9)), Text(At(0xE0000001), Reply(9)),
        Text(At(0xFFFFFFFF), Reply(9)), Text({kHost.Ip, 0}, Reply(0)), Punch(At(1)),
        Punch(At(0x7F000001)), Punch(At(0xEFFFFFFF)), Punch(At(0xF0000000)), Punch({kHost.Ip, 0})};
    const auto back = DecodeLobbySession(session);
    ASSERT_TRUE(back && DecodePunchRequest(punch));
    EXPECT_EQ(Text(back->Host, back->Reply), Text(kHost, Reply(kHost.Port)));
    const auto relayed = DecodeLobbySession(EncodeLobbySession(Reply(1), kHost, At(0x0B000035)));
    ASSERT_TRUE(relayed);
    EXPECT_EQ(relayed->Relay, At(0x0B000035));
    for (const std::string& text : texts)
        EXPECT_FALSE(DecodeLobbySession(text) || DecodePunchRequest(text)) << text;
}

// Random texts, and ours with a character changed or cut: whatever is read is something a
// machine of ours could write, and writing it again reads the same.
TEST(LobbyWire, WhatIsReadIsWrittenBackTheSame) {
    static const char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=";
    std::mt19937 rng(20240611);
    auto below = [&](std::size_t N) { return std::size_t(rng() % N); };
    int sessions = 0, requests = 0;
    for (int i = 0; i < 200000; ++i) {
        std::string text;
        if (i % 4 == 0) {
            for (std::size_t n = below(600); n > 0; --n)
                text += i % 8 ? kDigits[below(65)] : char(below(256));
        } else {
            const TAddress a{std::uint32_t(rng()), std::uint16_t(rng())};
            TSessionReply r = Reply(a.Port, below(10), below(10));
            r.Name = std::string(below(256), char(below(256)));
            const TAddress relay = i % 3 ? TAddress{} : TAddress{std::uint32_t(rng()), 9};
            text = i % 2 ? EncodeLobbySession(r, a, relay) : Punch(a);
            text[below(text.size())] = kDigits[below(65)];
            text.resize(below(8) ? text.size() : below(text.size()));
        }
        if (const auto s = DecodeLobbySession(text)) {
            ++sessions;
            ASSERT_TRUE(PlausiblePeer(s->Host) && s->Reply.SessionPort == s->Host.Port &&
                        s->Reply.CurrentPlayers <= s->Reply.MaxPlayers &&
                        (s->Relay == TAddress{} || PlausiblePeer(s->Relay)));
            const auto again = DecodeLobbySession(EncodeLobbySession(s->Reply, s->Host, s->Relay));
            ASSERT_TRUE(again && again->Relay == s->Relay &&
                        Text(again->Host, again->Reply) == Text(s->Host, s->Reply));
        }
        if (const auto r = DecodePunchRequest(text)) {
            ++requests;
            const auto again = DecodePunchRequest(EncodePunchRequest(*r));
            ASSERT_TRUE(PlausiblePeer(r->From) && again && again->Instance == r->Instance &&
                        again->From == r->From);
        }
    }
    EXPECT_TRUE(sessions > 1000 && requests > 1000); // else the property was tried on nothing
}
