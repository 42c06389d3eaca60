// Anyone in the lobby's room may write any text where a session or a punch request goes: it
// must be refused or read as something one of our machines could have written, which reads
// the same once written again.
#include "platform/dplay/LobbyWire.h"

#include <cstdlib>

using namespace dplay;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const std::string_view text(reinterpret_cast<const char*>(Data), Size);

    if (const auto s = DecodeLobbySession(text)) {
        const auto& r = s->Reply;
        if (Size > kMaxLobbyText || !PlausiblePeer(s->Host) || r.SessionPort != s->Host.Port ||
            r.CurrentPlayers > r.MaxPlayers)
            std::abort();
        const auto back = DecodeLobbySession(EncodeLobbySession(r, s->Host, s->Relay));
        if (!back || !(back->Host == s->Host) || !(back->Relay == s->Relay) ||
            back->Reply.Nonce != r.Nonce || !(back->Reply.Application == r.Application) ||
            !(back->Reply.Instance == r.Instance) || back->Reply.Flags != r.Flags ||
            back->Reply.MaxPlayers != r.MaxPlayers ||
            back->Reply.CurrentPlayers != r.CurrentPlayers ||
            back->Reply.SessionPort != r.SessionPort || back->Reply.Name != r.Name)
            std::abort();
    }

    if (const auto p = DecodePunchRequest(text)) {
        if (Size > kMaxLobbyText || !PlausiblePeer(p->From))
            std::abort();
        const auto back = DecodePunchRequest(EncodePunchRequest(*p));
        if (!back || !(back->Instance == p->Instance) || !(back->From == p->From))
            std::abort();
    }
    return 0;
}
