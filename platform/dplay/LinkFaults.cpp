#include "platform/dplay/LinkFaults.h"

#include <enet/enet.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

namespace dplay {

namespace {

// ENet gives its intercept no context of its own: each host finds its switch here.
std::mutex RegistryLock;
std::map<const ENetHost*, TLinkFaults*>& Registry() {
    static std::map<const ENetHost*, TLinkFaults*> registry;
    return registry;
}

unsigned NumberFromEnvironment(const char* Name, unsigned Limit) {
    const char* text = std::getenv(Name);
    if (!text)
        return 0;
    char* end = nullptr;
    const unsigned long value = std::strtoul(text, &end, 10);
    return end != text ? static_cast<unsigned>(std::min<unsigned long>(value, Limit)) : 0;
}

} // namespace

TLinkFaultPlan TLinkFaultPlan::FromEnvironment() {
    TLinkFaultPlan plan;
    plan.LossPercent = NumberFromEnvironment("MAREVO_DPLAY_LOSS", 100);
    plan.Delay = std::chrono::milliseconds(NumberFromEnvironment("MAREVO_DPLAY_DELAY", 10000));
    return plan;
}

TLinkFaults::~TLinkFaults() {
    std::lock_guard<std::mutex> g(RegistryLock);
    std::erase_if(Registry(), [this](const auto& e) { return e.second == this; });
}

void TLinkFaults::Install(ENetHost* Host) {
    {
        std::lock_guard<std::mutex> g(RegistryLock);
        auto& registry = Registry();
        // A destroyed host's address may come back for a new one.
        std::erase_if(registry, [this](const auto& e) { return e.second == this; });
        registry[Host] = this;
    }
    Host->intercept = &TLinkFaults::Intercept;
}

int TLinkFaults::Intercept(ENetHost* Host, ENetEvent*) {
    TLinkFaults* self = nullptr;
    {
        std::lock_guard<std::mutex> g(RegistryLock);
        const auto it = Registry().find(Host);
        if (it != Registry().end())
            self = it->second;
    }
    if (!self)
        return 0;
    const auto now = std::chrono::steady_clock::now();
    std::uniform_int_distribution<unsigned> percent(0, 99);
    const bool lose = percent(self->Random) < self->Plan.LossPercent;
    const bool hold = !lose && self->Plan.Delay.count() > 0 && percent(self->Random) < 10;
    std::vector<std::uint8_t> arrived;
    if (hold || (!lose && !self->Held.empty() && self->Held.front().Due <= now))
        arrived.assign(Host->receivedData, Host->receivedData + Host->receivedDataLength);
    if (hold)
        self->Held.push_back({now + self->Plan.Delay, Host->receivedAddress.host,
                              Host->receivedAddress.port, arrived});
    if (lose)
        return 1;
    if (self->Held.empty() || self->Held.front().Due > now)
        return hold ? 1 : 0;
    // A held datagram is due: it takes the place of this one, which waits its turn behind it
    // (unless it is the one just held back).
    THeld due = std::move(self->Held.front());
    self->Held.pop_front();
    if (!hold)
        self->Held.push_front(
            {now, Host->receivedAddress.host, Host->receivedAddress.port, std::move(arrived)});
    std::memcpy(Host->packetData[0], due.Bytes.data(), due.Bytes.size());
    Host->receivedData = Host->packetData[0];
    Host->receivedDataLength = due.Bytes.size();
    Host->receivedAddress.host = due.Ip;
    Host->receivedAddress.port = due.Port;
    return 0;
}

} // namespace dplay
