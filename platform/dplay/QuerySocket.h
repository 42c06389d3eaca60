#pragma once
// The UDP socket on which a host answers session queries: it binds the query port of the
// connection data, reads what arrives and sends the replies the caller decides on.

#include "Wire.h"

#include <cstdint>
#include <functional>
#include <optional>

namespace dplay {

class TQuerySocket {
public:
    explicit TQuerySocket(const TConnectionData& Connection) : Connection(Connection) {}
    ~TQuerySocket() { Close(); }
    TQuerySocket(const TQuerySocket&) = delete;
    TQuerySocket& operator=(const TQuerySocket&) = delete;

    // False while the port is taken (another host on this computer, or the old host of a
    // session that is changing hosts).
    bool Open();
    void Close();
    int Fd() const { return Socket; }

    using TDecide =
        std::function<std::optional<TSessionReply>(const TSessionQuery&, std::uint32_t SourceIp)>;
    // Reads what waits (a bounded number of datagrams a turn) and sends each reply Decide gives.
    void Answer(const TDecide& Decide);

private:
    TConnectionData Connection;
    int Socket = -1;
};

} // namespace dplay
