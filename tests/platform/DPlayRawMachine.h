#pragma once
// A machine that speaks the session's wire format by hand, so a test can send what no session
// service object would (an empty message, for one).

#include "platform/dplay/DPlay.h"
#include "platform/dplay/Wire.h"

#include <optional>

struct _ENetHost;
struct _ENetPeer;

namespace dplaytest {

class TRawMachine {
public:
    // Joins the session Desc (as a search found it) and creates one player, whose identifier
    // Player then holds (0 when anything was refused or timed out).
    explicit TRawMachine(const DPSESSIONDESC2& Desc);
    ~TRawMachine();
    TRawMachine(const TRawMachine&) = delete;
    TRawMachine& operator=(const TRawMachine&) = delete;
    void Send(const dplay::TPacket& Packet);
    // Sends Count copies of Packet, guaranteed, Batch at a time and each batch once the last is
    // acknowledged, so that what grows is the receiver's memory rather than this machine's.
    void Flood(const dplay::TPacket& Packet, int Count, int Batch);
    DPID Player = 0;

private:
    std::optional<dplay::TPacket> Next(); // within a few seconds
    _ENetHost* Host = nullptr;
    _ENetPeer* Peer = nullptr;
    int InFlight = 0;
};

} // namespace dplaytest
