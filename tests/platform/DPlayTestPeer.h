#pragma once
// One machine of a test session: a session service object on loopback, with helpers to search,
// open, create a player and collect what arrives. Used by the in-process tests, the helper
// program the cross-process tests start, and the benchmarks.

#include "platform/dplay/DPlay.h"
#include "platform/dplay/Events.h"
#include "platform/dplay/Wire.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace dplaytest {

// A UDP port on 127.0.0.1 that nobody uses right now.
std::uint16_t FreeUdpPort();
// The loopback provider's connection data with that query port.
std::vector<std::uint8_t> LoopbackConnection(std::uint16_t QueryPort);

struct TArrival {
    DPID From = 0;
    DPID To = 0;
    DWORD SysType = 0; // 0: application message
    DPID PlayerId = 0;
    std::string ShortName;
    std::string LongName;
    std::vector<std::uint8_t> Data;
};

class TPeer {
public:
    explicit TPeer(std::uint16_t QueryPort, GUID Application = {});
    ~TPeer();
    TPeer(const TPeer&) = delete;
    TPeer& operator=(const TPeer&) = delete;

    IDirectPlay3A* Play = nullptr;
    GUID Application;
    DPID Player = 0;
    HANDLE Event = nullptr;

    HRESULT Create(const std::string& Name, DWORD MaxPlayers = 4,
                   DWORD Flags = DPSESSION_KEEPALIVE | DPSESSION_MIGRATEHOST);
    // Sessions found at 127.0.0.1; each with its name.
    HRESULT Search(std::vector<DPSESSIONDESC2>& Found, std::vector<std::string>* Names = nullptr);
    HRESULT Join(const DPSESSIONDESC2& Desc);
    HRESULT AddPlayer(const std::string& Name, const char* LongName = nullptr);
    std::vector<std::pair<DPID, std::string>> Players();
    HRESULT SendTo(DPID To, const std::vector<std::uint8_t>& Data, bool Guaranteed = true);

    // Everything waiting now, in order (each read with the two calls the game makes).
    std::vector<TArrival> Drain();
    // Reads until Done says the collected arrivals suffice or the time is up.
    bool WaitFor(const std::function<bool(const std::vector<TArrival>&)>& Done,
                 std::chrono::milliseconds Limit, std::vector<TArrival>& Collected);
};

} // namespace dplaytest
