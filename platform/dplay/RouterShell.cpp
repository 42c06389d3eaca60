#include "RouterShell.h"

#include "platform/dplay/DPlay.h"

#include <miniupnpc/miniupnpc.h>
#include <miniupnpc/upnpcommands.h>
#include <natpmp.h>

#include <arpa/inet.h>
#include <sys/select.h>

#include <string>

namespace dplay {

namespace {

using TClock = std::chrono::steady_clock;

constexpr const char* kDescription = "Marevo";
// UPnP's "only permanent leases": such a forwarding is taken back at the end like the others.
constexpr int kOnlyPermanentLeases = 725;

bool Planned(const char* Call) {
    return DirectPlayFailures().Check(Call) != 0;
}

// One NAT-PMP exchange: the answer, or the library's error. Bounded by Deadline, whatever the
// library's own retries would take.
int NatPmpReply(natpmp_t& N, natpmpresp_t& Reply, TClock::time_point Deadline) {
    for (;;) {
        timeval wait{};
        if (getnatpmprequesttimeout(&N, &wait) < 0)
            return NATPMP_ERR_GETTIMEOFDAYERR;
        const auto left =
            std::chrono::duration_cast<std::chrono::microseconds>(Deadline - TClock::now());
        if (left.count() <= 0)
            return NATPMP_TRYAGAIN;
        const long long waitUs = wait.tv_sec * 1000000LL + wait.tv_usec;
        const long long us = std::min<long long>(std::max<long long>(waitUs, 0), left.count());
        timeval t{static_cast<time_t>(us / 1000000), static_cast<suseconds_t>(us % 1000000)};
        fd_set fds;
        FD_ZERO(&fds);
        FD_SET(N.s, &fds);
        ::select(N.s + 1, &fds, nullptr, nullptr, &t);
        const int r = readnatpmpresponseorretry(&N, &Reply);
        if (r != NATPMP_TRYAGAIN)
            return r;
    }
}

// The router's own word against it, as opposed to silence or a local fault.
bool RouterSaidNo(int NatPmpError) {
    return NatPmpError == NATPMP_ERR_NOTAUTHORIZED || NatPmpError == NATPMP_ERR_NETWORKFAILURE ||
           NatPmpError == NATPMP_ERR_OUTOFRESOURCES ||
           NatPmpError == NATPMP_ERR_UNSUPPORTEDOPCODE ||
           NatPmpError == NATPMP_ERR_UNSUPPORTEDVERSION || NatPmpError == NATPMP_ERR_UNDEFINEDERROR;
}

std::uint32_t Ipv4(const char* Text) {
    in_addr a{};
    return Text && ::inet_pton(AF_INET, Text, &a) == 1 ? a.s_addr : 0;
}

} // namespace

struct TRouterShell::TLibraries {
    // The gateway UPnP found, kept for renewals and for taking the forwardings back.
    bool HaveIgd = false;
    UPNPUrls Urls{};
    IGDdatas Data{};
    char LanAddress[64] = {};

    ~TLibraries() { ForgetIgd(); }

    void ForgetIgd() {
        if (HaveIgd)
            FreeUPNPUrls(&Urls);
        HaveIgd = false;
    }

    TRouterAnswer NatPmpMap(const TRouterMapAction& A) {
        TRouterAnswer answer;
        answer.Method = TRouterMethod::NatPmp;
        if (Planned("Router::NatPmp"))
            return answer;
        natpmp_t n{};
        if (initnatpmp(&n, 0, 0) < 0)
            return answer;
        const auto deadline = TClock::now() + kWait;
        natpmpresp_t reply{};
        int r =
            sendpublicaddressrequest(&n) < 0 ? NATPMP_ERR_SENDERR : NatPmpReply(n, reply, deadline);
        answer.OutsideUnusable = r == NATPMP_ERR_NETWORKFAILURE;
        if (r == 0)
            answer.PublicIp = reply.pnu.publicaddress.addr.s_addr;
        else if (RouterSaidNo(r))
            answer.Result = TRouterAnswer::Refused;
        // Without an outside address there is nothing to forward from.
        if (r != 0 && (answer.OutsideUnusable || !RouterSaidNo(r))) {
            closenatpmp(&n);
            return answer;
        }
        for (const auto& p : A.Ports) {
            r = sendnewportmappingrequest(&n, NATPMP_PROTOCOL_UDP, p.Internal, p.External,
                                          static_cast<std::uint32_t>(A.Lease.count())) < 0
                    ? NATPMP_ERR_SENDERR
                    : NatPmpReply(n, reply, TClock::now() + kWait);
            if (r != 0) {
                answer.Result = RouterSaidNo(r) ? TRouterAnswer::Refused : TRouterAnswer::NoAnswer;
                break;
            }
            answer.Ports.push_back({p.Internal, reply.pnu.newportmapping.mappedpublicport});
        }
        closenatpmp(&n);
        if (answer.Ports.size() == A.Ports.size()) {
            answer.Result = TRouterAnswer::Mapped;
        } else {
            // Half a forwarding is of no use: what was opened is taken back at once.
            NatPmpUnmap(answer.Ports);
            answer.Ports.clear();
        }
        return answer;
    }

    void NatPmpUnmap(const std::vector<TForwardedPort>& Ports) {
        if (Ports.empty() || Planned("Router::Unmap"))
            return;
        natpmp_t n{};
        if (initnatpmp(&n, 0, 0) < 0)
            return;
        for (const auto& p : Ports) {
            natpmpresp_t reply{};
            if (sendnewportmappingrequest(&n, NATPMP_PROTOCOL_UDP, p.Internal, 0, 0) >= 0)
                NatPmpReply(n, reply, TClock::now() + kWait);
        }
        closenatpmp(&n);
    }

    bool FindIgd() {
        if (HaveIgd)
            return true;
        if (Planned("Router::UpnpDiscover"))
            return false;
        int error = 0;
        UPNPDev* devices =
            upnpDiscover(static_cast<int>(kWait.count()), nullptr, nullptr, 0, 0, 2, &error);
        if (!devices)
            return false;
        const int found = UPNP_GetValidIGD(devices, &Urls, &Data, LanAddress, sizeof LanAddress);
        freeUPNPDevlist(devices);
        if (found == 0)
            return false;
        HaveIgd = true;
        if (found != 1 && found != 2) {
            ForgetIgd();
            return false;
        }
        return true;
    }

    TRouterAnswer UpnpMap(const TRouterMapAction& A) {
        TRouterAnswer answer;
        answer.Method = TRouterMethod::Upnp;
        if (!FindIgd())
            return answer;
        char external[40] = {};
        const int r = UPNP_GetExternalIPAddress(Urls.controlURL, Data.first.servicetype, external);
        if (r == 0)
            answer.PublicIp = Ipv4(external);
        answer.OutsideUnusable = r > 0 || (r == 0 && answer.PublicIp == 0);
        const std::string lease = std::to_string(A.Lease.count());
        for (const auto& p : A.Ports) {
            const std::string in = std::to_string(p.Internal);
            const std::string out = std::to_string(p.External);
            int r = Planned("Router::UpnpMap")
                        ? 606
                        : UPNP_AddPortMapping(Urls.controlURL, Data.first.servicetype, out.c_str(),
                                              in.c_str(), LanAddress, kDescription, "UDP", nullptr,
                                              lease.c_str());
            if (r == kOnlyPermanentLeases)
                r = UPNP_AddPortMapping(Urls.controlURL, Data.first.servicetype, out.c_str(),
                                        in.c_str(), LanAddress, kDescription, "UDP", nullptr, "0");
            if (r != 0) {
                // A UPnP error code is the router's refusal; a negative one is the library's
                // (no answer, or one it could not read).
                answer.Result = r > 0 ? TRouterAnswer::Refused : TRouterAnswer::NoAnswer;
                break;
            }
            answer.Ports.push_back(p);
        }
        if (answer.Ports.size() == A.Ports.size()) {
            answer.Result = TRouterAnswer::Mapped;
        } else {
            UpnpUnmap(answer.Ports);
            answer.Ports.clear();
        }
        return answer;
    }

    void UpnpUnmap(const std::vector<TForwardedPort>& Ports) {
        if (Ports.empty() || !HaveIgd || Planned("Router::Unmap"))
            return;
        for (const auto& p : Ports) {
            const std::string out = std::to_string(p.External);
            UPNP_DeletePortMapping(Urls.controlURL, Data.first.servicetype, out.c_str(), "UDP",
                                   nullptr);
        }
    }
};

TRouterShell::TRouterShell(TAnswered AAnswered)
    : Answered(std::move(AAnswered)), Libraries(std::make_unique<TLibraries>()),
      Thread([this] { Run(); }) {}

TRouterShell::~TRouterShell() {
    {
        std::lock_guard<std::mutex> g(Lock);
        Ending = true;
    }
    Wake.notify_one();
    Thread.join();
}

void TRouterShell::Carry(const TRouterAction& Action) {
    if (std::holds_alternative<TRouterNoticeAction>(Action))
        return;
    {
        std::lock_guard<std::mutex> g(Lock);
        Queue.push_back(Action);
    }
    Wake.notify_one();
}

void TRouterShell::Run() {
    for (;;) {
        TRouterAction action;
        {
            std::unique_lock<std::mutex> g(Lock);
            Wake.wait(g, [this] { return Ending || !Queue.empty(); });
            if (Queue.empty())
                return;
            action = std::move(Queue.front());
            Queue.pop_front();
        }
        if (const auto* map = std::get_if<TRouterMapAction>(&action)) {
            const TRouterAnswer answer = map->Method == TRouterMethod::NatPmp
                                             ? Libraries->NatPmpMap(*map)
                                             : Libraries->UpnpMap(*map);
            Answered(answer);
        } else if (const auto* unmap = std::get_if<TRouterUnmapAction>(&action)) {
            if (unmap->Method == TRouterMethod::NatPmp)
                Libraries->NatPmpUnmap(unmap->Ports);
            else
                Libraries->UpnpUnmap(unmap->Ports);
        }
    }
}

} // namespace dplay
