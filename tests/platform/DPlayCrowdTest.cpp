// A hosting node on loopback while hundreds of other addresses crowd it (every address in
// 127.0.0.0/8 can be bound on Linux loopback): connections that never say hello, and session
// queries just below what one address may ask. A player who searches still finds the session
// and joins at the first try. Nothing leaves loopback; every loop ends within a fixed time.
#include "tests/platform/DPlayTestPeer.h"

#include "platform/dplay/QueryLimiter.h"
#include "platform/dplay/SessionSearch.h"
#include "platform/dplay/Wire.h"

#include <enet/enet.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <string>
#include <thread>

using namespace dplaytest;
using namespace std::chrono_literals;
using TClock = std::chrono::steady_clock;

namespace {

constexpr int kCrowd = 300;

// The crowd's own addresses, none of them 127.0.0.1 where the player is.
std::string CrowdAddress(int Subnet, int I) {
    return "127." + std::to_string(Subnet) + "." + std::to_string(1 + I / 250) + "." +
           std::to_string(1 + I % 250);
}

// Runs Body on a thread of its own until the test is done with it.
class TBackground {
public:
    explicit TBackground(std::function<void(const std::atomic<bool>&)> Body)
        : Thread([this, Body] { Body(Stop); }) {}
    ~TBackground() { Finish(); }
    void Finish() {
        Stop = true;
        if (Thread.joinable())
            Thread.join();
    }

private:
    std::atomic<bool> Stop{false};
    std::thread Thread;
};

} // namespace

TEST(DPlayCrowd, APlayerJoinsAtTheFirstTryWhileHundredsOfAddressesConnectAndNeverSayHello) {
    const auto port = FreeUdpPort();
    TPeer host(port);
    ASSERT_EQ(host.Create("crowded"), DP_OK);
    ASSERT_EQ(host.AddPlayer("H"), DP_OK);
    std::vector<DPSESSIONDESC2> found;
    {
        TPeer scout(port);
        ASSERT_EQ(scout.Search(found), DP_OK);
        ASSERT_EQ(found.size(), 1u);
    }
    const ENetAddress session{found[0].dwReserved1, static_cast<enet_uint16>(found[0].dwReserved2)};

    // Each address connects, says nothing, and after a while drops its end without a word and
    // connects again; the host meanwhile closes or pushes out what it holds of them.
    std::atomic<int> connects{0};
    TBackground crowd([&](const std::atomic<bool>& Stop) {
        enet_initialize();
        struct TMember {
            ENetHost* Host = nullptr;
            ENetPeer* Peer = nullptr;
            TClock::time_point Next{}; // connect then, or (connected) leave then
            bool Up = false;
        };
        std::vector<TMember> members(kCrowd);
        for (int i = 0; i < kCrowd; ++i) {
            ENetAddress local{};
            enet_address_set_host_ip(&local, CrowdAddress(1, i).c_str());
            members[static_cast<std::size_t>(i)].Host = enet_host_create(&local, 1, 2, 0, 0);
        }
        std::mt19937 random(21);
        const auto end = TClock::now() + 30s;
        while (!Stop && TClock::now() < end) {
            for (auto& m : members) {
                if (!m.Host)
                    continue;
                const auto now = TClock::now();
                ENetEvent e;
                while (enet_host_service(m.Host, &e, 0) > 0) {
                    if (e.type == ENET_EVENT_TYPE_CONNECT) {
                        ++connects;
                        m.Up = true;
                        m.Next = now + std::chrono::milliseconds(300 + random() % 1700);
                    } else if (e.type == ENET_EVENT_TYPE_DISCONNECT) {
                        m.Peer = nullptr;
                        m.Up = false;
                    } else if (e.type == ENET_EVENT_TYPE_RECEIVE) {
                        enet_packet_destroy(e.packet);
                    }
                }
                if (m.Peer && now >= m.Next) {
                    enet_peer_reset(m.Peer); // gone without a word, or never got through
                    m.Peer = nullptr;
                    m.Up = false;
                    m.Next = now + std::chrono::milliseconds(random() % 200);
                } else if (!m.Peer && now >= m.Next) {
                    m.Peer = enet_host_connect(m.Host, &session, 2, 0);
                    m.Next = now + 2s;
                }
            }
            std::this_thread::sleep_for(2ms);
        }
        for (auto& m : members)
            if (m.Host)
                enet_host_destroy(m.Host);
    });

    std::this_thread::sleep_for(3s); // past the hello time: the host's table is as full as it gets
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        TPeer guest(port);
        std::vector<DPSESSIONDESC2> seen;
        ASSERT_EQ(guest.Search(seen), DP_OK);
        ASSERT_EQ(seen.size(), 1u);
        ASSERT_EQ(guest.Join(seen[0]), DP_OK);
        ASSERT_EQ(guest.AddPlayer("G"), DP_OK);
        EXPECT_EQ(guest.Players().size(), 2u);
        std::this_thread::sleep_for(500ms);
    }
    crowd.Finish();
    // The crowd got in, again and again: it was let in and pushed out, not turned away.
    EXPECT_GT(connects.load(), 2 * kCrowd);
    // Each guest took its player with it when it left.
    const auto end = TClock::now() + 3s;
    while (host.Players().size() != 1 && TClock::now() < end)
        std::this_thread::sleep_for(50ms);
    EXPECT_EQ(host.Players().size(), 1u);
}

TEST(DPlayCrowd, APlayerSearchingOnceASecondIsAnsweredWhileThreeHundredAddressesAsk) {
    const auto port = FreeUdpPort();
    TPeer host(port);
    ASSERT_EQ(host.Create("asked"), DP_OK);

    // Each address asks 0.9 times a second, below its own limit, a new nonce each time: as a
    // player searching once a second would, so only the total can tell them apart.
    std::atomic<long> crowdAnswers{0};
    TBackground crowd([&](const std::atomic<bool>& Stop) {
        std::vector<int> sockets;
        for (int i = 0; i < kCrowd; ++i) {
            const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
            sockaddr_in a{};
            a.sin_family = AF_INET;
            ::inet_pton(AF_INET, CrowdAddress(0, i).c_str(), &a.sin_addr);
            sockaddr_in to{};
            to.sin_family = AF_INET;
            to.sin_port = htons(port);
            to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
                ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0)
                sockets.push_back(fd);
            else if (fd >= 0)
                ::close(fd);
        }
        const auto period = std::chrono::duration_cast<TClock::duration>(1s / 0.9);
        const auto start = TClock::now();
        std::vector<TClock::time_point> next;
        for (std::size_t i = 0; i < sockets.size(); ++i)
            next.push_back(start + period * static_cast<long>(i) / kCrowd);
        std::uint32_t nonce = 0;
        while (!Stop && TClock::now() < start + 40s) {
            for (std::size_t i = 0; i < sockets.size(); ++i) {
                std::uint8_t reply[dplay::kMaxReplySize + 1];
                while (::recv(sockets[i], reply, sizeof reply, 0) > 0)
                    ++crowdAnswers;
                if (TClock::now() < next[i])
                    continue;
                const auto query = dplay::EncodeQuery({++nonce, GUID{}});
                ::send(sockets[i], query.data(), query.size(), 0);
                next[i] += period;
            }
            std::this_thread::sleep_for(5ms);
        }
        for (const int fd : sockets)
            ::close(fd);
    });

    std::this_thread::sleep_for(2s);
    const auto start = TClock::now();
    int answered = 0;
    for (int s = 0; s < 30; ++s) {
        std::this_thread::sleep_until(start + s * 1s);
        dplay::TSearchRequest request;
        request.Host = "127.0.0.1";
        request.QueryPort = port;
        std::vector<dplay::TFoundSession> sessions;
        ASSERT_EQ(dplay::SearchSessions(request, sessions), DP_OK);
        answered += sessions.size() == 1;
    }
    const auto seconds = std::chrono::duration<double>(TClock::now() - start).count() + 2;
    crowd.Finish();
    EXPECT_GE(answered, 25);
    // The crowd was answered (it asked within its limits), and no more than the total allows.
    EXPECT_GT(crowdAnswers.load(), 0);
    EXPECT_LE(crowdAnswers.load(),
              static_cast<long>(dplay::TQueryLimiter::kTotalRate * (seconds + 1)));
}
