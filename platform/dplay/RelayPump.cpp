#include "RelayPump.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace dplay {

namespace {

std::uint64_t KeyOf(TAddress A) {
    return (std::uint64_t{A.Ip} << 16) | A.Port;
}

// A datagram socket bound to Ip (network order) on any port, not blocking; -1 when none.
int OpenSocket(std::uint32_t Ip, std::uint16_t& Port) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return -1;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = Ip;
    socklen_t size = sizeof a;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size) != 0) {
        ::close(fd);
        return -1;
    }
    Port = ntohs(a.sin_port);
    return fd;
}

void SendTo(int Fd, TAddress To, std::span<const std::uint8_t> Bytes) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = To.Ip;
    a.sin_port = htons(To.Port);
    ::sendto(Fd, Bytes.data(), Bytes.size(), 0, reinterpret_cast<sockaddr*>(&a), sizeof a);
}

// The next datagram waiting on Fd, and where it came from; false when none.
bool ReceiveFrom(int Fd, std::vector<std::uint8_t>& Bytes, TAddress& From) {
    Bytes.resize(65536);
    sockaddr_in a{};
    socklen_t size = sizeof a;
    const ssize_t n =
        ::recvfrom(Fd, Bytes.data(), Bytes.size(), 0, reinterpret_cast<sockaddr*>(&a), &size);
    if (n < 0)
        return false;
    Bytes.resize(static_cast<std::size_t>(n));
    From = {a.sin_addr.s_addr, ntohs(a.sin_port)};
    return true;
}

} // namespace

TRelayPump::TRelayPump(TAddress AServer, TTurnCredentials Credentials, std::uint16_t AEnetPort)
    : Server(AServer), Client({AServer.Ip, AServer.Port}, std::move(Credentials)),
      EnetPort(AEnetPort) {
    std::uint16_t port = 0;
    Fd = OpenSocket(INADDR_ANY, port);
}

TRelayPump::~TRelayPump() {
    Client.Stop();
    Flush();
    if (Fd >= 0)
        ::close(Fd);
    for (auto& [key, proxy] : Proxies)
        ::close(proxy.Fd);
}

void TRelayPump::Start(TTime Now) {
    if (Fd < 0)
        return;
    Client.Start(Now);
    Flush();
}

void TRelayPump::Permit(TAddress Peer, TTime Now) {
    Client.AddPeer({Peer.Ip, Peer.Port}, Now);
    Flush();
}

std::optional<TAddress> TRelayPump::Relayed() const {
    const auto r = Client.Relayed();
    return r ? std::optional<TAddress>(TAddress{r->Ip, r->Port}) : std::nullopt;
}

std::optional<TAddress> TRelayPump::MachineAt(TAddress Seen) const {
    if (ntohl(Seen.Ip) != INADDR_LOOPBACK)
        return std::nullopt;
    const auto it = Machines.find(Seen.Port);
    return it != Machines.end() ? std::optional(it->second) : std::nullopt;
}

void TRelayPump::Flush() {
    if (Fd < 0)
        return;
    for (const auto& d : Client.TakeDatagrams())
        SendTo(Fd, Server, d);
}

TRelayPump::TProxy* TRelayPump::ProxyFor(TAddress Peer, TTime Now) {
    const auto it = Proxies.find(KeyOf(Peer));
    if (it != Proxies.end())
        return &it->second;
    if (Proxies.size() >= TTurnClient::kMaxPeers)
        return nullptr;
    TProxy proxy;
    proxy.Fd = OpenSocket(htonl(INADDR_LOOPBACK), proxy.Port);
    if (proxy.Fd < 0)
        return nullptr;
    // Replies go through a channel of their own, which costs the relay less than indications.
    Client.AddPeer({Peer.Ip, Peer.Port}, Now);
    Machines[proxy.Port] = Peer;
    return &(Proxies[KeyOf(Peer)] = proxy);
}

void TRelayPump::Service(TTime Now) {
    if (Fd < 0)
        return;
    std::vector<std::uint8_t> bytes;
    TAddress from;
    const TAddress enet{htonl(INADDR_LOOPBACK), EnetPort};
    while (ReceiveFrom(Fd, bytes, from)) {
        auto delivery = Client.Received(bytes, {from.Ip, from.Port}, Now);
        if (!delivery)
            continue;
        if (TProxy* proxy = ProxyFor({delivery->Peer.Ip, delivery->Peer.Port}, Now))
            SendTo(proxy->Fd, enet, delivery->Payload);
    }
    for (auto& [key, proxy] : Proxies) {
        const TAddress peer = Machines[proxy.Port];
        // Only ENet's own answers go out, never whatever else reaches a loopback port.
        while (ReceiveFrom(proxy.Fd, bytes, from))
            if (from == enet)
                SendTo(Fd, Server, Client.Wrap({peer.Ip, peer.Port}, bytes));
    }
    Client.Tick(Now);
    Flush();
}

} // namespace dplay
