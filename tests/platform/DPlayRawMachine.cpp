#include "tests/platform/DPlayRawMachine.h"

#include <enet/enet.h>

#include <chrono>

namespace dplaytest {

namespace {

constexpr auto kPatience = std::chrono::seconds(3);

} // namespace

TRawMachine::TRawMachine(std::uint32_t Ip, std::uint16_t Port) {
    enet_initialize();
    ENetAddress local{};
    enet_address_set_host_ip(&local, "127.0.0.1");
    Host = enet_host_create(&local, 1, 2, 0, 0);
    const ENetAddress to{Ip, Port};
    if (Host)
        Peer = enet_host_connect(Host, &to, 2, 0);
}

TRawMachine::~TRawMachine() {
    if (Host)
        enet_host_destroy(Host);
}

std::optional<dplay::TPacket> TRawMachine::Next() {
    if (!Peer)
        return std::nullopt;
    const auto end = std::chrono::steady_clock::now() + kPatience;
    ENetEvent e;
    while (std::chrono::steady_clock::now() < end) {
        if (enet_host_service(Host, &e, 20) <= 0)
            continue;
        if (e.type == ENET_EVENT_TYPE_CONNECT)
            Connected = true;
        if (e.type == ENET_EVENT_TYPE_DISCONNECT)
            return std::nullopt;
        if (e.type != ENET_EVENT_TYPE_RECEIVE)
            continue;
        auto packet = dplay::DecodePacket({e.packet->data, e.packet->dataLength});
        enet_packet_destroy(e.packet);
        if (packet)
            return packet;
    }
    return std::nullopt;
}

void TRawMachine::Send(const dplay::TPacket& Packet) {
    const auto bytes = dplay::EncodePacket(Packet);
    enet_peer_send(Peer, 0,
                   enet_packet_create(bytes.data(), bytes.size(), ENET_PACKET_FLAG_RELIABLE));
    enet_host_flush(Host);
}

DPID TRawMachine::JoinAsPlayer(const GUID& Application, const GUID& Instance,
                               const std::string& Name) {
    if (!Peer)
        return 0;
    const auto end = std::chrono::steady_clock::now() + kPatience;
    ENetEvent e;
    while (!Connected && std::chrono::steady_clock::now() < end)
        if (enet_host_service(Host, &e, 20) > 0 && e.type == ENET_EVENT_TYPE_CONNECT)
            Connected = true;
    if (!Connected)
        return 0;
    Send(dplay::THello{Application, Instance});
    auto welcome = Next();
    if (!welcome || !std::holds_alternative<dplay::TWelcome>(*welcome))
        return 0;
    constexpr std::uint32_t kNonce = 7;
    Send(dplay::TCreatePlayer{kNonce, Name, Name});
    while (auto packet = Next()) {
        const auto* created = std::get_if<dplay::TPlayerCreated>(&*packet);
        if (created && created->Nonce == kNonce)
            return created->Code == 0 ? created->Id : 0;
    }
    return 0;
}

} // namespace dplaytest
