#include "LinkFaults.h"

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

// A held datagram on its way back: the magic, the true sender's address and port, the bytes.
constexpr std::uint8_t kWrapMagic[8] = {'M', 'V', 'H', 'E', 'L', 'D', 0, 1};
constexpr std::size_t kWrapSize = sizeof kWrapMagic + 4 + 2;

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
    const std::size_t n = Host->receivedDataLength;
    std::uint8_t* data = Host->receivedData;
    if (n >= kWrapSize && std::memcmp(data, kWrapMagic, sizeof kWrapMagic) == 0 &&
        Host->receivedAddress.port == self->OwnPort) {
        // A datagram held back earlier, back from this host itself: its true sender again.
        std::memcpy(&Host->receivedAddress.host, data + sizeof kWrapMagic, 4);
        std::memcpy(&Host->receivedAddress.port, data + sizeof kWrapMagic + 4, 2);
        std::memmove(data, data + kWrapSize, n - kWrapSize);
        Host->receivedDataLength = n - kWrapSize;
        return self->Others(Host);
    }
    std::uniform_int_distribution<unsigned> percent(0, 99);
    if (percent(self->Random) < self->Plan.LossPercent)
        return 1;
    if (self->Plan.Delay.count() > 0 && percent(self->Random) < 10) {
        self->Held.push_back({std::chrono::steady_clock::now() + self->Plan.Delay,
                              Host->receivedAddress.host, Host->receivedAddress.port,
                              std::vector<std::uint8_t>(data, data + n)});
        return 1;
    }
    return self->Others(Host);
}

int TLinkFaults::Others(ENetHost* Host) {
    return Other && Other({Host->receivedData, Host->receivedDataLength},
                          Host->receivedAddress.host, Host->receivedAddress.port)
               ? 1
               : 0;
}

void TLinkFaults::Flush(ENetHost* Host) {
    const auto now = std::chrono::steady_clock::now();
    ENetAddress self{};
    enet_socket_get_address(Host->socket, &self);
    OwnPort = self.port;
    if (self.host == ENET_HOST_ANY)
        enet_address_set_host_ip(&self, "127.0.0.1");
    while (!Held.empty() && Held.front().Due <= now) {
        const THeld& h = Held.front();
        std::vector<std::uint8_t> wrapped(kWrapSize + h.Bytes.size());
        std::memcpy(wrapped.data(), kWrapMagic, sizeof kWrapMagic);
        std::memcpy(wrapped.data() + sizeof kWrapMagic, &h.Ip, 4);
        std::memcpy(wrapped.data() + sizeof kWrapMagic + 4, &h.Port, 2);
        std::memcpy(wrapped.data() + kWrapSize, h.Bytes.data(), h.Bytes.size());
        ENetBuffer buffer{wrapped.data(), wrapped.size()};
        enet_socket_send(Host->socket, &self, &buffer, 1);
        Held.pop_front();
    }
}

} // namespace dplay
