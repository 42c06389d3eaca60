// The relay client against the relay server players' lobbies hand out, started on loopback for
// the test with the lobby's kind of credentials (a shared secret signs an expiry and a name).
// Skipped where the server is not installed.
#include "platform/dplay/TurnClient.h"

#include <gtest/gtest.h>

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <thread>

using namespace dplay;
using namespace std::chrono_literals;

namespace {

using TBytes = std::vector<std::uint8_t>;
using TClock = std::chrono::steady_clock;
constexpr const char* kServer = "/usr/bin/turnserver";

TBytes Bytes(std::string_view S) {
    return {S.begin(), S.end()};
}

// A UDP socket on 127.0.0.1, any free port.
class TUdp {
public:
    TUdp() : Fd(socket(AF_INET, SOCK_DGRAM, 0)) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof a;
        if (Fd < 0 || bind(Fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
            getsockname(Fd, reinterpret_cast<sockaddr*>(&a), &size) != 0)
            throw std::runtime_error("no loopback socket");
        Address = {a.sin_addr.s_addr, ntohs(a.sin_port)};
    }
    TUdp(const TUdp&) = delete;
    TUdp& operator=(const TUdp&) = delete;
    ~TUdp() { close(Fd); }

    void SendTo(TStunAddress To, std::span<const std::uint8_t> Data) const {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = To.Ip;
        a.sin_port = htons(To.Port);
        sendto(Fd, Data.data(), Data.size(), 0, reinterpret_cast<sockaddr*>(&a), sizeof a);
    }
    std::optional<std::pair<TStunAddress, TBytes>> Receive(std::chrono::milliseconds Wait) const {
        pollfd p{Fd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(Wait.count())) != 1)
            return std::nullopt;
        TBytes buffer(65536);
        sockaddr_in a{};
        socklen_t size = sizeof a;
        const ssize_t n =
            recvfrom(Fd, buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&a), &size);
        if (n < 0)
            return std::nullopt;
        buffer.resize(static_cast<std::size_t>(n));
        return std::pair{TStunAddress{a.sin_addr.s_addr, ntohs(a.sin_port)}, std::move(buffer)};
    }

    int Fd;
    TStunAddress Address;
};

// The server as a child process in a folder of its own, both gone when the test ends however
// it ends; its log is shown when the test failed.
class TRelayServer {
public:
    TRelayServer(std::uint16_t Port, const std::string& Secret) {
        char folder[] = "/tmp/marevo-relay-XXXXXX";
        if (!mkdtemp(folder))
            throw std::runtime_error("no folder for the relay");
        Folder = folder;
        const std::vector<std::string> args{kServer,
                                            "-n",
                                            "--listening-ip=127.0.0.1",
                                            "--relay-ip=127.0.0.1",
                                            "--listening-port=" + std::to_string(Port),
                                            "--realm=lab",
                                            "--use-auth-secret",
                                            "--static-auth-secret=" + Secret,
                                            "--allow-loopback-peers",
                                            "--no-cli",
                                            "--no-tls",
                                            "--no-dtls",
                                            "--no-tcp",
                                            "--no-rfc5780",
                                            "--log-file=stdout",
                                            "--pidfile=" + (Folder / "pid").string(),
                                            "--db=" + (Folder / "db").string()};
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        const std::string log = (Folder / "log").string();
        posix_spawn_file_actions_addopen(&files, 1, log.c_str(), O_WRONLY | O_CREAT, 0600);
        posix_spawn_file_actions_adddup2(&files, 1, 2);
        const int failed = posix_spawn(&Pid, kServer, &files, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&files);
        if (failed)
            Pid = -1;
    }
    TRelayServer(const TRelayServer&) = delete;
    TRelayServer& operator=(const TRelayServer&) = delete;
    ~TRelayServer() {
        if (Pid > 0) {
            kill(Pid, SIGTERM);
            int status = 0;
            const auto end = TClock::now() + 2s;
            while (waitpid(Pid, &status, WNOHANG) == 0) {
                if (TClock::now() > end) {
                    kill(Pid, SIGKILL);
                    waitpid(Pid, &status, 0);
                    break;
                }
                std::this_thread::sleep_for(10ms);
            }
        }
        if (::testing::Test::HasFailure()) {
            std::ifstream log(Folder / "log");
            std::cerr << "relay server's log:\n" << log.rdbuf() << '\n';
        }
        std::error_code ignored;
        std::filesystem::remove_all(Folder, ignored);
    }

    pid_t Pid = -1;
    std::filesystem::path Folder;
};

// What the lobby would hand out: a name that carries its expiry, and as password the
// base64 of its HMAC-SHA1 under the secret the lobby shares with the relay.
TTurnCredentials RestCredentials(const std::string& Secret) {
    const auto expiry = std::chrono::duration_cast<std::chrono::seconds>(
                            std::chrono::system_clock::now().time_since_epoch() + 1h)
                            .count();
    TTurnCredentials c;
    c.Username = std::to_string(expiry) + ":marevo";
    std::uint8_t mac[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    HMAC(EVP_sha1(), Secret.data(), static_cast<int>(Secret.size()),
         reinterpret_cast<const std::uint8_t*>(c.Username.data()), c.Username.size(), mac, &size);
    c.Password.resize(4 * ((size + 2) / 3) + 1);
    const int n = EVP_EncodeBlock(reinterpret_cast<std::uint8_t*>(c.Password.data()), mac,
                                  static_cast<int>(size));
    c.Password.resize(static_cast<std::size_t>(n));
    return c;
}

std::string RandomSecret() {
    std::random_device random;
    std::ostringstream s;
    for (int i = 0; i < 4; ++i)
        s << std::hex << random();
    return s.str();
}

// Runs Client on Socket, the way the session shell does, until Done or the time is up.
template <typename F>
bool Drive(TTurnClient& Client, const TUdp& Socket, TStunAddress Server, F&& Done,
           std::vector<TTurnDelivery>* Delivered = nullptr) {
    for (const auto end = TClock::now() + 10s; TClock::now() < end;) {
        Client.Tick(TClock::now());
        for (const TBytes& d : Client.TakeDatagrams())
            Socket.SendTo(Server, d);
        if (Done())
            return true;
        if (Client.State() == TTurnClient::TState::Failed)
            return false;
        if (auto in = Socket.Receive(20ms)) {
            auto d = Client.Received(in->second, in->first, TClock::now());
            if (d && Delivered)
                Delivered->push_back(std::move(*d));
        }
    }
    return false;
}

TEST(TurnServer, RelaysBothWaysThroughAChannel) {
    if (access(kServer, X_OK) != 0)
        GTEST_SKIP() << kServer << " is not installed";
    std::uint16_t port = 0;
    {
        const TUdp probe; // a port free now, very likely still free a moment later
        port = probe.Address.Port;
    }
    const std::string secret = RandomSecret();
    const TRelayServer relay(port, secret);
    ASSERT_GT(relay.Pid, 0);
    const TStunAddress server{htonl(INADDR_LOOPBACK), port};
    const TUdp session;
    const TUdp peer;

    // Ask for this machine's address until the server is up and answers.
    TStunMessage binding;
    binding.Id = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    std::optional<TStunAddress> mapped;
    for (const auto end = TClock::now() + 10s; !mapped && TClock::now() < end;) {
        session.SendTo(server, EncodeStun(binding));
        if (const auto in = session.Receive(100ms); in && in->first == server) {
            const auto m = DecodeStun(in->second);
            if (m && m->Id == binding.Id && m->Class == TStunClass::Success)
                mapped = m->XorMapped;
        }
    }
    ASSERT_EQ(mapped, session.Address) << "the relay server did not answer";

    TTurnClient client(server, RestCredentials(secret));
    client.Start(TClock::now());
    ASSERT_TRUE(Drive(client, session, server, [&] {
        return client.State() == TTurnClient::TState::Allocated;
    })) << client.FailureText();
    const TStunAddress relayed = client.Relayed().value();
    EXPECT_EQ(relayed.Ip, htonl(INADDR_LOOPBACK));
    EXPECT_EQ(client.Mapped(), session.Address);

    ASSERT_TRUE(client.AddPeer(peer.Address, TClock::now()));
    ASSERT_TRUE(Drive(client, session, server, [&] { return client.ChannelBound(peer.Address); }))
        << client.FailureText();

    session.SendTo(server, client.Wrap(peer.Address, Bytes("to the peer")));
    const auto atPeer = peer.Receive(5s);
    ASSERT_TRUE(atPeer);
    EXPECT_EQ(atPeer->first, relayed);
    EXPECT_EQ(atPeer->second, Bytes("to the peer"));

    peer.SendTo(relayed, Bytes("to the machine"));
    std::vector<TTurnDelivery> delivered;
    ASSERT_TRUE(Drive(
        client, session, server, [&] { return !delivered.empty(); }, &delivered));
    EXPECT_EQ(delivered[0].Peer, peer.Address);
    EXPECT_EQ(delivered[0].Payload, Bytes("to the machine"));

    client.Stop();
    for (const TBytes& d : client.TakeDatagrams())
        session.SendTo(server, d);
}

TEST(TurnServer, RefusesAWrongPassword) {
    if (access(kServer, X_OK) != 0)
        GTEST_SKIP() << kServer << " is not installed";
    std::uint16_t port = 0;
    {
        const TUdp probe;
        port = probe.Address.Port;
    }
    const TRelayServer relay(port, RandomSecret());
    ASSERT_GT(relay.Pid, 0);
    const TStunAddress server{htonl(INADDR_LOOPBACK), port};
    const TUdp session;
    TTurnClient client(server, RestCredentials("not the secret"));
    // Started at once: a first Allocate lost while the server comes up is sent again.
    client.Start(TClock::now());
    Drive(client, session, server, [] { return false; });
    EXPECT_EQ(client.Failure(), TTurnFailure::CredentialsRefused) << client.FailureText();
}

} // namespace
