// Machines in the internet lobby, against a real lobby server on loopback: a host announces its
// session, a joiner finds it and asks to be let in; what the room says that no machine of ours
// would say is not shown; and each way of failing to get in has its own answer.
#include "tests/platform/LobbyServer.h"

#include "platform/dplay/LobbyLink.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace dplay;
using namespace dplaytest;
using namespace std::chrono_literals;

namespace {

constexpr GUID kApp{0x11112222, 0x3333, 0x4444, {1, 2, 3, 4, 5, 6, 7, 8}};

TLobbyConfig ConfigFor(const TLobbyServer& Server) {
    TLobbyConfig c;
    c.Domain = TLobbyServer::kDomain;
    c.Address = "127.0.0.1";
    c.Port = Server.Port();
    c.CaFile = Server.CaFile();
    return c;
}

TSessionReply Session(std::uint8_t Tag, const char* Name) {
    TSessionReply r;
    r.Application = kApp;
    r.Instance = GUID{Tag, 0, 0, {Tag}};
    r.MaxPlayers = 10;
    r.CurrentPlayers = 1;
    r.Name = Name;
    return r;
}

TAddress Outside(std::uint8_t Last, std::uint16_t Port) {
    return {htonl(0x0B000000u | Last), Port};
}

template <class F> bool Within(std::chrono::milliseconds Time, F&& Done) {
    const auto end = std::chrono::steady_clock::now() + Time;
    while (!Done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

} // namespace

TEST(LobbyLink, AHostIsFoundAndAskedToPunchWhileForgedOrHugeAnnouncementsAreNotShown) {
    TLobbyServer server;
    if (!server.Running())
        GTEST_SKIP() << server.Why();
    TLobbyLink host(ConfigFor(server)), liar(ConfigFor(server)), giant(ConfigFor(server)),
        joiner(ConfigFor(server));
    ASSERT_EQ(host.Enter({}), DP_OK);
    ASSERT_EQ(liar.Enter({}), DP_OK);
    ASSERT_EQ(giant.Enter({}), DP_OK);
    std::atomic<int> asked = 0;
    TPunchRequest heard;
    host.OnPunch([&](const TPunchRequest& R) {
        heard = R;
        ++asked;
    });
    const TSessionReply hosted = Session(1, "anna's bay");
    host.Announce(EncodeLobbySession(hosted, Outside(11, 40000)));
    giant.Announce(std::string(100000, 'A')); // as large as the server lets through
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(joiner.Enter({}), DP_OK);
    std::vector<TLobbySession> found;
    ASSERT_TRUE(Within(3s, [&] { return (found = joiner.Sessions(kApp)).size() == 1; }));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
    EXPECT_EQ(found[0].Reply.Name, "anna's bay");
    EXPECT_EQ(found[0].Host, Outside(11, 40000));
    EXPECT_TRUE(joiner.Sessions(GUID{}).empty());
    // Another occupant claims the same instance elsewhere: one of the two lies, and neither is
    // shown, until the liar says something no machine of ours would say.
    liar.Announce(EncodeLobbySession(Session(1, "trap"), Outside(66, 40000)));
    EXPECT_TRUE(Within(3s, [&] { return joiner.Sessions(kApp).empty(); }));
    liar.Announce("not a session at all");
    ASSERT_TRUE(Within(3s, [&] { return (found = joiner.Sessions(kApp)).size() == 1; }));
    EXPECT_EQ(found[0].Host, Outside(11, 40000));

    ASSERT_TRUE(joiner.AskPunch({hosted.Instance, Outside(12, 50000)}));
    ASSERT_TRUE(Within(3s, [&] { return asked > 0; }));
    EXPECT_EQ(heard.From, Outside(12, 50000));
    EXPECT_FALSE(joiner.AskPunch({GUID{9}, Outside(12, 50000)}));

    // A host that stops hosting is no longer listed.
    host.Announce({});
    EXPECT_TRUE(Within(3s, [&] { return joiner.Sessions(kApp).empty(); }));
}

TEST(LobbyLink, EachWayOfNotGettingInHasItsOwnAnswer) {
    TLobbyServer open, closed(false);
    if (!open.Running() || !closed.Running())
        GTEST_SKIP() << open.Why() << closed.Why();
    struct TCase {
        const char* Name;
        TLobbyConfig Config;
        HRESULT Expected;
    };
    TLobbyConfig nobody = ConfigFor(open);
    nobody.Port = FreeTcpPort();
    TLobbyConfig untrusted = ConfigFor(open);
    untrusted.CaFile = closed.CaFile(); // another authority
    TLobbyConfig noRoom = ConfigFor(open);
    noRoom.Domain = "elsewhere.test";
    const TCase cases[] = {
        {"nobody listens", nobody, DPERR_MAREVO_NOLOBBY},
        {"a certificate of nobody we trust", untrusted, DPERR_MAREVO_NOLOBBY},
        {"no anonymous sign-in", ConfigFor(closed), DPERR_LOGONDENIED},
        {"a server of another name", noRoom, DPERR_LOGONDENIED},
    };
    for (const auto& c : cases) {
        const auto start = std::chrono::steady_clock::now();
        TLobbyLink link(c.Config);
        EXPECT_EQ(link.Enter({}), c.Expected) << c.Name;
        EXPECT_LE(std::chrono::steady_clock::now() - start, TLobbyLink::kEnterTime + 1s) << c.Name;
    }
}
