#include "SessionSearch.h"

#include "platform/dplay/DPlay.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <random>

namespace dplay {

namespace {

using TClock = std::chrono::steady_clock;
constexpr auto kResendPeriod = std::chrono::milliseconds(200);

class TSocket {
public:
    TSocket() : Fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {}
    ~TSocket() {
        if (Fd >= 0)
            ::close(Fd);
    }
    TSocket(const TSocket&) = delete;
    TSocket& operator=(const TSocket&) = delete;
    int Fd;
};

} // namespace

bool ResolveIPv4(const std::string& Host, std::uint32_t& Ip) {
    in_addr a{};
    if (::inet_pton(AF_INET, Host.c_str(), &a) == 1) {
        Ip = a.s_addr;
        return true;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* list = nullptr;
    if (::getaddrinfo(Host.c_str(), nullptr, &hints, &list) != 0 || !list)
        return false;
    Ip = reinterpret_cast<const sockaddr_in*>(list->ai_addr)->sin_addr.s_addr;
    ::freeaddrinfo(list);
    return true;
}

HRESULT SearchSessions(const TSearchRequest& Request, std::vector<TFoundSession>& Found) {
    Found.clear();
    const bool broadcast = Request.Host.empty();
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(Request.QueryPort);
    if (broadcast)
        to.sin_addr.s_addr = htonl(INADDR_BROADCAST);
    else if (!ResolveIPv4(Request.Host, to.sin_addr.s_addr))
        return DPERR_NOCONNECTION;

    TSocket s;
    if (s.Fd < 0)
        return DPERR_NOCONNECTION;
    if (broadcast) {
        const int on = 1;
        ::setsockopt(s.Fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    } else if (::connect(s.Fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) {
        // A connected socket hears only that host, and hears its refusal.
        return DPERR_NOCONNECTION;
    }

    std::random_device rd;
    TSessionQuery query;
    query.Nonce = rd();
    query.Application = Request.Application;
    const auto datagram = EncodeQuery(query);

    const auto deadline = TClock::now() + std::chrono::milliseconds(Request.TimeoutMs);
    auto nextSend = TClock::now();
    while (TClock::now() < deadline) {
        if (TClock::now() >= nextSend) {
            ::sendto(s.Fd, datagram.data(), datagram.size(), 0,
                     broadcast ? reinterpret_cast<const sockaddr*>(&to) : nullptr,
                     broadcast ? sizeof to : 0);
            nextSend = TClock::now() + kResendPeriod;
        }
        if (Request.Pump)
            Request.Pump();
        pollfd p{s.Fd, POLLIN, 0};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              std::min(deadline, nextSend) - TClock::now())
                              .count();
        const int wait = static_cast<int>(std::clamp<long long>(left, 0, Request.Pump ? 10 : 200));
        if (::poll(&p, 1, wait) <= 0)
            continue;
        std::uint8_t buffer[kMaxReplySize + 1];
        sockaddr_in from{};
        socklen_t fromLen = sizeof from;
        const ssize_t n = ::recvfrom(s.Fd, buffer, sizeof buffer, 0,
                                     reinterpret_cast<sockaddr*>(&from), &fromLen);
        if (n < 0) {
            if (!broadcast && errno == ECONNREFUSED)
                return DP_OK; // nothing listens there: no session
            continue;
        }
        const auto reply = DecodeReply({buffer, static_cast<std::size_t>(n)});
        if (!reply || reply->Nonce != query.Nonce || !(reply->Application == Request.Application))
            continue;
        bool seen = false;
        for (const auto& f : Found)
            seen |= f.Reply.Instance == reply->Instance;
        if (!seen)
            Found.push_back({*reply, from.sin_addr.s_addr});
        if (!broadcast)
            return DP_OK;
    }
    return DP_OK;
}

void SplitHostPort(std::string& Host, std::uint16_t& Port) {
    const auto colon = Host.rfind(':');
    // More than one colon is an IPv6 address, which has no port this way.
    if (colon == std::string::npos || Host.find(':') != colon || colon + 1 == Host.size() ||
        Host.size() - colon - 1 > 5)
        return;
    unsigned value = 0;
    for (std::size_t i = colon + 1; i < Host.size(); ++i) {
        if (Host[i] < '0' || Host[i] > '9')
            return;
        value = value * 10 + static_cast<unsigned>(Host[i] - '0');
    }
    if (value == 0 || value > 65535)
        return;
    Port = static_cast<std::uint16_t>(value);
    Host.resize(colon);
}

} // namespace dplay
