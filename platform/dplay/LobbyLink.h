#pragma once
// This machine in the internet lobby: signed in (anonymously) at an XMPP server and an
// occupant of its room, where hosts announce their sessions in their presence and joiners ask
// a host, in a private message, to open its router towards them. A thread of its own runs the
// XMPP client; whatever arrives from the lobby goes through LobbyWire's decoders, which refuse
// anything but what our machines send.

#include "LobbyWire.h"
#include "platform/dplay/DPlay.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace dplay {

struct TLobbyConfig {
    std::string Domain;     // the lobby server's name, as the player gave it
    std::string Address;    // where to connect when not where the name leads (tests)
    std::uint16_t Port = 0; // the server's, when not the usual one
    std::string CaFile;     // certificate authorities trusted besides the system's (tests)
    std::string Room = "marevo";
};

// A relay the lobby server hands out (with credentials good for a while).
struct TRelayService {
    TAddress Server;
    std::string Username;
    std::string Password;
};

class TLobbyLink {
public:
    // Signing in and entering the room, at most.
    static constexpr auto kEnterTime = std::chrono::seconds(5);
    // Announced sessions kept at most; the room may be full of anything.
    static constexpr std::size_t kMaxSessions = 256;

    explicit TLobbyLink(TLobbyConfig Config);
    ~TLobbyLink();
    TLobbyLink(const TLobbyLink&) = delete;
    TLobbyLink& operator=(const TLobbyLink&) = delete;

    // DP_OK once in the room. DPERR_MAREVO_NOLOBBY when the server cannot be reached (or is
    // lost), DPERR_LOGONDENIED when it refuses the sign-in or the room. Pump is called while
    // waiting.
    HRESULT Enter(const std::function<void()>& Pump);
    const TLobbyConfig& Config() const { return Settings; }

    // The sessions of Application announced in the room now, one an instance.
    std::vector<TLobbySession> Sessions(const GUID& Application);
    // This machine's session, as EncodeLobbySession made it; empty: none.
    void Announce(const std::string& Text);
    // Asks the occupant announcing Instance to punch towards Request.From; false when no one
    // announces it.
    bool AskPunch(const TPunchRequest& Request);
    // Called on the lobby's thread for each well-formed request that reaches this machine;
    // once OnPunch returns, the handler it replaced runs no more.
    void OnPunch(std::function<void(const TPunchRequest&)> Handler);
    // Where to ask for this machine's outside address: the server's own answer if it gave
    // one, else the lobby's address on the usual port.
    std::optional<TAddress> StunServer();
    std::optional<TRelayService> Relay();

private:
    struct TState;
    TLobbyConfig Settings;
    std::unique_ptr<TState> State;
};

} // namespace dplay
