// Text from the lobby's room, where anyone may write anything: what one of our machines writes
// reads back the same, and nothing else gets through.
#include "platform/dplay/LobbyWire.h"

#include <arpa/inet.h>

#include <gtest/gtest.h>

#include <cstring>
#include <random>

using namespace dplay;

namespace {

const GUID kApp{0x5EA5, 0x1, 0x2, {3, 4, 5, 6, 7, 8, 9, 10}};
const GUID kInstance{0x1A57, 0xB, 0xC, {1, 1, 2, 3, 5, 8, 13, 21}};

TAddress At(std::uint32_t Ip, std::uint16_t Port) {
    return {htonl(Ip), Port};
}

TSessionReply Reply(std::uint16_t Port, std::uint32_t Max = 8, std::uint32_t Current = 2) {
    return {0, kApp, kInstance, 0x40, Max, Current, Port, "\xe6\xb5\xb7 sea"};
}

// The tests' own writer, so that records our encoders would never write can be made.
std::string Base64(const std::string& Bytes) {
    static const char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < Bytes.size(); i += 3) {
        std::uint32_t v = 0;
        for (std::size_t k = 0; k < 3; ++k)
            v = v << 8 | (i + k < Bytes.size() ? std::uint8_t(Bytes[i + k]) : 0);
        for (std::size_t k = 0; k < 4; ++k)
            out += k <= Bytes.size() - i ? kDigits[(v >> (18 - 6 * k)) & 63] : '=';
    }
    return out;
}

std::string Punch(TAddress From) {
    return EncodePunchRequest({kInstance, From});
}

// A session's record as it is sent, before the text.
std::string Record(TAddress Host, const TSessionReply& R) {
    const auto reply = EncodeReply(R);
    std::string out(6, '\0');
    std::memcpy(out.data(), &Host.Ip, 4);
    std::memcpy(out.data() + 4, &Host.Port, 2);
    return out.append(reply.begin(), reply.end());
}

bool Same(const TLobbySession& A, const TLobbySession& B) {
    const auto &a = A.Reply, &b = B.Reply;
    return A.Host == B.Host && a.Nonce == b.Nonce && a.Application == b.Application &&
           a.Instance == b.Instance && a.Flags == b.Flags && a.MaxPlayers == b.MaxPlayers &&
           a.CurrentPlayers == b.CurrentPlayers && a.SessionPort == b.SessionPort &&
           a.Name == b.Name;
}

} // namespace

TEST(LobbyWire, ASessionAndAPunchRequestReadBackAsWritten) {
    const TAddress host = At(0x5DB8D822, 47624);
    const auto session = DecodeLobbySession(EncodeLobbySession(Reply(1), host));
    ASSERT_TRUE(session);
    EXPECT_TRUE(Same(*session, {Reply(host.Port), host}));
    const auto request = DecodePunchRequest(Punch(At(0xC0A80107, 2300)));
    ASSERT_TRUE(request);
    EXPECT_EQ(request->Instance, kInstance);
    EXPECT_EQ(request->From, At(0xC0A80107, 2300));
}

TEST(LobbyWire, RefusesWhatNoMachineOfOursWrites) {
    const TAddress host = At(0x5DB8D822, 47624);
    const std::string session = EncodeLobbySession(Reply(host.Port), host);
    const std::string record = Record(host, Reply(host.Port));
    const std::string punch = Punch(host);
    TSessionReply nonce = Reply(host.Port);
    nonce.Nonce = 7;
    const std::string texts[] = {
        "", "!!!!", "QUJD=", "QU JD", "QUJD-_", session + "x", session + '\n',
        session + std::string(1, '\0'), punch + "QUJD", std::string(kMaxLobbyText + 4, 'A'),
        Base64(record + "x"), Base64(record.substr(0, record.size() - 1)),
        Base64(record.substr(0, 6)), Base64(std::string(24, '\x5d')), Base64(std::string(400, 'a')),
        // Another port than the address's, more players than it takes, a query's nonce.
        Base64(Record(host, Reply(host.Port + 1))), Base64(Record(host, Reply(host.Port, 4, 5))),
        Base64(Record(host, nonce)),
        // Nobody, this machine, groups and the reserved range, port 0.
        Base64(Record(At(0x00000001, 9), Reply(9))), Base64(Record(At(0x7F000001, 9), Reply(9))),
        Base64(Record(At(0xE0000001, 9), Reply(9))), Base64(Record(At(0xFFFFFFFF, 9), Reply(9))),
        EncodeLobbySession(Reply(1), {host.Ip, 0}), Punch(At(0x00000001, 9)),
        Punch(At(0x7F000001, 9)), Punch(At(0xEFFFFFFF, 9)), Punch(At(0xF0000000, 9)),
        Punch({host.Ip, 0}), punch.substr(0, punch.size() - 4)};
    for (const std::string& text : texts) {
        EXPECT_FALSE(DecodeLobbySession(text)) << text;
        EXPECT_FALSE(DecodePunchRequest(text)) << text;
    }
}

// Random texts, and our own texts with one character changed, cut or added to: whatever is
// read is a session a machine could announce, and writing it again reads the same.
TEST(LobbyWire, WhatIsReadIsWrittenBackTheSame) {
    static const char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=";
    std::mt19937 rng(20240611);
    auto below = [&](std::uint32_t N) {
        return std::uniform_int_distribution<std::uint32_t>(0, N - 1)(rng);
    };
    int sessions = 0, requests = 0;
    for (int i = 0; i < 200000; ++i) {
        std::string text;
        if (i % 4 == 0) {
            for (std::uint32_t n = below(600); n > 0; --n)
                text += i % 8 ? kDigits[below(65)] : char(below(256));
        } else {
            const TAddress a{static_cast<std::uint32_t>(rng()), std::uint16_t(below(65536))};
            TSessionReply r = Reply(a.Port, below(10), below(10));
            r.Name = std::string(below(256), char(below(256)));
            text = i % 2 ? EncodeLobbySession(r, a) : EncodePunchRequest({kInstance, a});
            text[below(text.size())] = kDigits[below(65)];
            if (below(8) == 0)
                text.resize(below(text.size() + 8), 'A');
        }
        if (const auto s = DecodeLobbySession(text)) {
            ++sessions;
            ASSERT_TRUE(PlausiblePeer(s->Host) && s->Reply.SessionPort == s->Host.Port &&
                        s->Reply.CurrentPlayers <= s->Reply.MaxPlayers);
            const auto again = DecodeLobbySession(EncodeLobbySession(s->Reply, s->Host));
            ASSERT_TRUE(again && Same(*s, *again)) << text;
        }
        if (const auto r = DecodePunchRequest(text)) {
            ++requests;
            ASSERT_TRUE(PlausiblePeer(r->From));
            const auto again = DecodePunchRequest(EncodePunchRequest(*r));
            ASSERT_TRUE(again && again->Instance == r->Instance && again->From == r->From) << text;
        }
    }
    // Else the property was tried on nothing.
    EXPECT_GT(sessions, 1000);
    EXPECT_GT(requests, 1000);
}
