// The bytes on the wire: every message reads back as written, and damaged input is refused.
#include "platform/dplay/Wire.h"

#include <gtest/gtest.h>

using namespace dplay;

namespace {

const GUID kApp{0x11223344, 0x5566, 0x7788, {1, 2, 3, 4, 5, 6, 7, 8}};
const GUID kInstance{0xA, 0xB, 0xC, {9, 9, 9, 9, 9, 9, 9, 9}};

std::vector<TPacket> EveryPacket() {
    TMachineKey key{};
    key.fill(0x5A);
    TSignature signature{};
    signature.fill(0xC3);
    TPlayerEntry p{2, 0x0100007F, 4000, key, 77, "ショート", std::string(255, 'L'), 0x0A01A8C0, 5};
    return {
        THello{kApp, kInstance, key, 0x0A01A8C0, 6000},
        TWelcome{
            kInstance, 0x44, 4, 9, "Regatta", {p, {0x7FFFFFFF, 0, 1, {}, 0, "", ""}}, 0x0C00000B},
        TRefuse{0x8877014A},
        TCreatePlayer{7, "a", "b"},
        TPlayerCreated{7, 0, 5},
        TPlayerAdded{p},
        TPlayerRemoved{3},
        TData{2, 0, 0xFFFFFFFF, 1, signature, std::vector<std::uint8_t>(49152, 0xAB)},
        TRejoin{kApp, kInstance, signature, {p}, {{2, 5}, {0x7FFFFFFF, 0}}},
        THostLeaving{},
        TChallenge{key},
        TAck{{{3, 1}}},
        TStable{{}}};
}

// Version and kind, sender, receiver, number, guaranteed and signature come before the payload.
constexpr std::size_t kDataHeader = 2 + 4 + 4 + 4 + 1 + 64;

void Put32(std::vector<std::uint8_t>& Bytes, std::size_t At, std::uint32_t V) {
    for (int i = 0; i < 4; ++i)
        Bytes[At + i] = static_cast<std::uint8_t>(V >> (8 * i));
}

// Packets that break one limit by one and carry every byte they claim, so that nothing but
// that limit can refuse them.
std::vector<std::uint8_t> OnePastPayloadLimit() {
    auto bytes = EncodePacket(TData{2, 0, 1, 1, {}, std::vector<std::uint8_t>(kMaxMessageSize, 1)});
    Put32(bytes, kDataHeader, kMaxMessageSize + 1);
    bytes.push_back(1);
    return bytes;
}

TWelcome WelcomeOf(std::size_t Players) {
    return {kInstance, 0, 4, 2, "", std::vector<TPlayerEntry>(Players, {5, 0, 1, {}, 0, "s", "l"})};
}

std::vector<std::uint8_t> OnePastPlayerLimit() {
    auto bytes = EncodePacket(WelcomeOf(kMaxListedPlayers));
    Put32(bytes, 2 + 16 + 12 + 1 + 4, kMaxListedPlayers + 1);
    const auto entry = EncodePacket(TPlayerAdded{WelcomeOf(1).Players[0]});
    bytes.insert(bytes.end(), entry.begin() + 2, entry.end());
    return bytes;
}

} // namespace

TEST(DPlayWire, EveryLimitAcceptsAPacketAtItAndRefusesOneOnePastIt) {
    auto removing = [](std::uint32_t Id) {
        auto bytes = EncodePacket(TPlayerRemoved{2});
        Put32(bytes, 2, Id);
        return bytes;
    };
    const struct {
        const char* What;
        std::vector<std::uint8_t> AtLimit, PastLimit;
    } cases[] = {
        {"payload of 1 MiB",
         EncodePacket(TData{2, 0, 1, 1, {}, std::vector<std::uint8_t>(kMaxMessageSize, 1)}),
         OnePastPayloadLimit()},
        {"players listed", EncodePacket(WelcomeOf(kMaxListedPlayers)), OnePastPlayerLimit()},
        {"first identifier", removing(2), removing(1)},
        {"last identifier", removing(0x7FFFFFFF), removing(0x80000000u)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        EXPECT_TRUE(DecodePacket(c.AtLimit));
        EXPECT_FALSE(DecodePacket(c.PastLimit));
    }

    // A query port of 0 would send every later search for the session nowhere.
    TConnectionData d;
    d.Kind = TProviderKind::TcpIp;
    d.QueryPort = 1;
    auto port1 = EncodeConnection(d);
    ASSERT_TRUE(DecodeConnection(port1));
    port1[10] = 0;
    EXPECT_FALSE(DecodeConnection(port1));
}

TEST(DPlayWire, EveryPacketReadsBackAsWrittenAndRefusesAnyShorterOrLongerCopy) {
    for (const auto& packet : EveryPacket()) {
        const auto bytes = EncodePacket(packet);
        ASSERT_FALSE(bytes.empty());
        const auto back = DecodePacket(bytes);
        ASSERT_TRUE(back) << "kind " << packet.index();
        EXPECT_EQ(EncodePacket(*back), bytes);
        for (std::size_t cut = 0; cut < bytes.size(); cut += 1 + bytes.size() / 64)
            EXPECT_FALSE(DecodePacket({bytes.data(), cut})) << "kind " << packet.index();
        auto longer = bytes;
        longer.push_back(0);
        EXPECT_FALSE(DecodePacket(longer));
    }
}

TEST(DPlayWire, PacketsOutsideTheRulesAreRefused) {
    struct TCase {
        const char* What;
        std::vector<std::uint8_t> Bytes;
    };
    auto withVersion = EncodePacket(THostLeaving{});
    withVersion[0] = kWireVersion - 1;
    auto badId = EncodePacket(TPlayerRemoved{2});
    badId[2] = 1; // identifier 1
    auto badFrom = EncodePacket(TData{2, 0, 1, 0, {}, {}});
    badFrom[2] = 0;
    auto seqZero = EncodePacket(TData{2, 0, 1, 0, {}, {}});
    seqZero[10] = 0;
    auto guaranteedTwo = EncodePacket(TData{2, 0, 1, 0, {}, {}});
    guaranteedTwo[14] = 2;
    auto hugeBlob = OnePastPayloadLimit();
    auto markForNobody = EncodePacket(TAck{{{2, 9}}});
    markForNobody[6] = 1; // player 1
    auto welcomeNextId = EncodePacket(TWelcome{kInstance, 0, 4, 2, "", {}});
    welcomeNextId[2 + 16 + 8] = 1; // the next identifier 1
    auto manyPlayers = OnePastPlayerLimit();
    const TCase cases[] = {
        {"empty", {}},
        {"unknown kind", {1, 99}},
        {"kind zero", {1, 0}},
        {"other version", withVersion},
        {"identifier below 2", badId},
        {"sender 0", badFrom},
        {"message number 0", seqZero},
        {"guaranteed neither 0 nor 1", guaranteedTwo},
        {"acknowledgement for identifier 1", markForNobody},
        {"payload over 1 MiB", hugeBlob},
        {"too many players", manyPlayers},
        {"next identifier below the first in a welcome", welcomeNextId},
    };
    for (const auto& c : cases)
        EXPECT_FALSE(DecodePacket(c.Bytes)) << c.What;
    std::vector<std::uint8_t> ok(kMaxMessageSize);
    EXPECT_TRUE(DecodePacket(EncodePacket(TData{2, 3, 1, 1, {}, ok})));
    EXPECT_TRUE(EncodePacket(TCreatePlayer{1, std::string(256, 'x'), ""}).empty());
}

TEST(DPlayWire, QueriesAndRepliesReadBackAndOnlyWhenWellFormed) {
    const auto q = EncodeQuery({42, kApp});
    EXPECT_EQ(q.size(), kQuerySize);
    const auto back = DecodeQuery(q);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->Nonce, 42u);
    EXPECT_TRUE(back->Application == kApp);
    EXPECT_FALSE(DecodeQuery({q.data(), q.size() - 1}));
    auto wrongMagic = q;
    wrongMagic[0] ^= 1;
    EXPECT_FALSE(DecodeQuery(wrongMagic));

    TSessionReply r{42, kApp, kInstance, 0x44, 4, 1, 5555, std::string(255, 'n')};
    const auto bytes = EncodeReply(r);
    EXPECT_LE(bytes.size(), kMaxReplySize);
    const auto reply = DecodeReply(bytes);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->Name, r.Name);
    EXPECT_EQ(reply->SessionPort, 5555);
    EXPECT_FALSE(DecodeReply({bytes.data(), bytes.size() - 1}));
    r.SessionPort = 0;
    EXPECT_FALSE(DecodeReply(EncodeReply(r)));
}

TEST(DPlayWire, ConnectionDataCarriesItsOwnSizeAndIsChecked) {
    TConnectionData c;
    c.Kind = TProviderKind::Loopback;
    c.QueryPort = 1234;
    c.Host = "127.0.0.1";
    c.BindAddress = "127.0.0.1";
    const auto bytes = EncodeConnection(c);
    EXPECT_EQ(DeclaredConnectionSize(bytes.data()), bytes.size());
    const auto back = DecodeConnection(bytes);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->QueryPort, 1234);
    EXPECT_EQ(back->Host, "127.0.0.1");
    EXPECT_EQ(back->Kind, TProviderKind::Loopback);
    auto badKind = bytes;
    badKind[9] = 7;
    EXPECT_FALSE(DecodeConnection(badKind));
    auto badSize = bytes;
    badSize[0] += 1;
    EXPECT_FALSE(DecodeConnection(badSize));
    EXPECT_FALSE(DecodeConnection({bytes.data(), 3}));
}
