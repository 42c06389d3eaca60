#include "tests/platform/DPlayRawMachine.h"

#include <enet/enet.h>

#include <chrono>

namespace dplaytest {

TRawMachine::TRawMachine(const DPSESSIONDESC2& Desc) : Instance(Desc.guidInstance) {
    enet_initialize();
    ENetAddress local{};
    enet_address_set_host_ip(&local, "127.0.0.1");
    Host = enet_host_create(&local, 1, 2, 0, 0);
    const ENetAddress to{Desc.dwReserved1, static_cast<enet_uint16>(Desc.dwReserved2)};
    Peer = enet_host_connect(Host, &to, 2, 0);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    ENetEvent e;
    while (std::chrono::steady_clock::now() < end)
        if (enet_host_service(Host, &e, 20) > 0 && e.type == ENET_EVENT_TYPE_CONNECT)
            break;
    Send(dplay::THello{Desc.guidApplication, Desc.guidInstance, Identity.Key()});
    Send(dplay::TCreatePlayer{7, "raw", "raw"});
    while (auto packet = Next())
        if (const auto* created = std::get_if<dplay::TPlayerCreated>(&*packet)) {
            Player = created->Code == 0 ? created->Id : 0;
            return;
        }
}

TRawMachine::~TRawMachine() {
    enet_host_destroy(Host);
}

std::optional<dplay::TPacket> TRawMachine::Next() {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    ENetEvent e;
    while (std::chrono::steady_clock::now() < end) {
        if (enet_host_service(Host, &e, 20) <= 0 || e.type == ENET_EVENT_TYPE_CONNECT)
            continue;
        if (e.type != ENET_EVENT_TYPE_RECEIVE)
            return std::nullopt;
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

dplay::TData TRawMachine::Signed(DPID To, std::vector<std::uint8_t> Payload, bool Guaranteed) {
    dplay::TData d{Player, To, NextSeq++, Guaranteed, {}, std::move(Payload)};
    d.Signature = Identity.Sign(dplay::SignedData(Instance, d));
    return d;
}

void TRawMachine::SendData(DPID To, std::vector<std::uint8_t> Payload, bool Guaranteed) {
    Send(Signed(To, std::move(Payload), Guaranteed));
}

bool TRawMachine::Connected() const {
    return Peer->state == ENET_PEER_STATE_CONNECTED;
}

void TRawMachine::Flood(std::size_t Size, int Count, int Batch) {
    for (int i = 0; i < Count && Connected(); i += Batch) {
        for (int k = 0; k < Batch; ++k) {
            const auto bytes = dplay::EncodePacket(
                Signed(DPID_ALLPLAYERS, std::vector<std::uint8_t>(Size, 0xF1), true));
            ENetPacket* packet =
                enet_packet_create(bytes.data(), bytes.size(), ENET_PACKET_FLAG_RELIABLE);
            packet->userData = this;
            packet->freeCallback = [](ENetPacket* P) {
                --static_cast<TRawMachine*>(P->userData)->InFlight;
            };
            ++InFlight;
            enet_peer_send(Peer, 0, packet);
        }
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        ENetEvent e;
        while (InFlight > 0 && std::chrono::steady_clock::now() < end)
            if (enet_host_service(Host, &e, 1) > 0 && e.type == ENET_EVENT_TYPE_RECEIVE)
                enet_packet_destroy(e.packet);
    }
}

} // namespace dplaytest
