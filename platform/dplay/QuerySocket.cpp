#include "QuerySocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace dplay {

bool TQuerySocket::Open() {
    if (Socket >= 0)
        return true;
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return false;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(Connection.QueryPort);
    a.sin_addr.s_addr = htonl(INADDR_ANY);
    if (!Connection.BindAddress.empty())
        ::inet_pton(AF_INET, Connection.BindAddress.c_str(), &a.sin_addr);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return false;
    }
    Socket = fd;
    return true;
}

void TQuerySocket::Close() {
    if (Socket >= 0)
        ::close(Socket);
    Socket = -1;
}

void TQuerySocket::Answer(const TDecide& Decide) {
    for (int i = 0; i < 16 && Socket >= 0; ++i) {
        std::uint8_t buffer[kQuerySize + 1];
        sockaddr_in from{};
        socklen_t fromLen = sizeof from;
        const ssize_t n = ::recvfrom(Socket, buffer, sizeof buffer, 0,
                                     reinterpret_cast<sockaddr*>(&from), &fromLen);
        if (n < 0)
            return;
        const auto query = DecodeQuery({buffer, static_cast<std::size_t>(n)});
        if (!query)
            continue;
        if (const auto reply = Decide(*query, from.sin_addr.s_addr)) {
            const auto bytes = EncodeReply(*reply);
            ::sendto(Socket, bytes.data(), bytes.size(), 0,
                     reinterpret_cast<const sockaddr*>(&from), fromLen);
        }
    }
}

} // namespace dplay
