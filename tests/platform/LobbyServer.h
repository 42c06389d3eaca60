#pragma once
// A lobby server of the test's own on loopback: Debian's prosody with a certificate authority
// made for the occasion, anonymous sign-in (or none, to be refused) and the room's service.
// Gone with the object, also when a test fails.

#include <cstdint>
#include <string>
#include <sys/types.h>

namespace dplaytest {

class TLobbyServer {
public:
    // Anonymous: whether the server lets anonymous players in.
    explicit TLobbyServer(bool Anonymous = true);
    ~TLobbyServer();
    TLobbyServer(const TLobbyServer&) = delete;
    TLobbyServer& operator=(const TLobbyServer&) = delete;

    // False when the server could not be started here, and Why() says why.
    bool Running() const { return Pid > 0 && Reason.empty(); }
    const std::string& Why() const { return Reason; }
    std::uint16_t Port() const { return ClientPort; }
    std::string CaFile() const { return Folder + "/ca.pem"; }
    static constexpr const char* kDomain = "lab.test";

private:
    std::string Folder;
    std::string Reason;
    std::uint16_t ClientPort = 0;
    pid_t Pid = -1;
};

// A TCP port nobody listens on now.
std::uint16_t FreeTcpPort();

} // namespace dplaytest
