#pragma once
// A machine that speaks the session's wire format by hand over its own ENet host, so a test can
// send what no session service object would: an empty message, for one.

#include "platform/dplay/DPlay.h"
#include "platform/dplay/Wire.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct _ENetHost;
struct _ENetPeer;

namespace dplaytest {

class TRawMachine {
public:
    // Connects to the session host at Ip (network order) and Port from 127.0.0.1.
    TRawMachine(std::uint32_t Ip, std::uint16_t Port);
    ~TRawMachine();
    TRawMachine(const TRawMachine&) = delete;
    TRawMachine& operator=(const TRawMachine&) = delete;

    // Connects, says hello to session Instance and creates one player; its identifier, or 0
    // when any step was refused or timed out.
    DPID JoinAsPlayer(const GUID& Application, const GUID& Instance, const std::string& Name);
    void Send(const dplay::TPacket& Packet);
    // The next packet from the host, within a few seconds.
    std::optional<dplay::TPacket> Next();

private:
    _ENetHost* Host = nullptr;
    _ENetPeer* Peer = nullptr;
    bool Connected = false;
};

} // namespace dplaytest
