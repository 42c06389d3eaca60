#pragma once
// A machine that speaks the session's wire format by hand, so a test can send what no session
// service object would (an empty message, for one).

#include "platform/dplay/DPlay.h"
#include "platform/dplay/MachineIdentity.h"
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
    // A message of its player, numbered and signed as a session service object would.
    void SendData(DPID To, std::vector<std::uint8_t> Payload, bool Guaranteed = true);
    // Sends Count such messages to everyone, guaranteed, Batch at a time and each batch once
    // the last is acknowledged, so that what grows is the receiver's memory rather than this
    // machine's. Stops when the connection ends.
    void Flood(std::size_t Size, int Count, int Batch);
    bool Connected() const;
    DPID Player = 0;

private:
    std::optional<dplay::TPacket> Next(); // within a few seconds
    dplay::TData Signed(DPID To, std::vector<std::uint8_t> Payload, bool Guaranteed);
    dplay::TMachineIdentity Identity{dplay::TMachineIdentity::RandomSeed()};
    GUID Instance{};
    std::uint32_t NextSeq = 1;
    _ENetHost* Host = nullptr;
    _ENetPeer* Peer = nullptr;
    int InFlight = 0;
};

} // namespace dplaytest
