#pragma once
// Every decision of this machine's relay allocation, and nothing else: asking the relay for an
// address, answering its challenge with the lobby's credentials, keeping the allocation,
// permissions and channels alive, and wrapping the session's datagrams to and from peers. It
// owns no socket, thread or clock: the shell sends what TakeDatagrams gives to the relay from
// the session socket, feeds back what arrives from anywhere, and calls Tick.
//
// Whatever arrives is hostile: only datagrams from the relay's own address are looked at,
// responses are matched to a request still waiting by transaction id, and once credentials are
// in use a success must carry their integrity.

#include "StunMessage.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace dplay {

using TTurnTime = std::chrono::steady_clock::time_point;

// What the lobby hands out along with the relay's address: a name and password valid for a
// while.
struct TTurnCredentials {
    std::string Username;
    std::string Password;
};

enum class TTurnFailure : std::uint8_t {
    None,
    Unreachable,        // a request went unanswered until kGiveUp
    CredentialsRefused, // the relay refused the credentials themselves
    ServerError,        // the relay answered with another error, or an answer that makes no sense
};

// A datagram a peer sent through the relay.
struct TTurnDelivery {
    TStunAddress Peer;
    std::vector<std::uint8_t> Payload;
};

class TTurnClient {
public:
    enum class TState : std::uint8_t { Idle, Allocating, Allocated, Failed, Closed };

    // The first wait before sending a request again, doubled each time, and how long a
    // request is tried at all.
    static constexpr std::chrono::milliseconds kFirstRetry{250};
    static constexpr std::chrono::milliseconds kGiveUp{5000};
    // Permissions last five minutes and channels ten on the relay; both are renewed a minute
    // early so that a renewal lost a few times still lands in time.
    static constexpr std::chrono::seconds kPermissionRefresh{240};
    static constexpr std::chrono::seconds kChannelRefresh{540};
    // How many peers one allocation relays for: more than a session holds.
    static constexpr std::size_t kMaxPeers = 64;

    TTurnClient(TStunAddress Server, TTurnCredentials Credentials);

    // Asks for an allocation.
    void Start(TTurnTime Now);
    // A datagram that arrived on the session socket from From. Returns what a peer sent
    // through the relay; everything else it takes in or ignores.
    std::optional<TTurnDelivery> Received(std::span<const std::uint8_t> Bytes, TStunAddress From,
                                          TTurnTime Now);
    void Tick(TTurnTime Now);
    // Lets Peer send through the relay, and binds it a channel. Its datagrams may be wrapped
    // at once: they go as Send indications until the channel is bound. False once the
    // allocation is over, or when it relays for kMaxPeers already.
    bool AddPeer(TStunAddress Peer, TTurnTime Now);
    // Stops renewing Peer's permission and channel; the relay lets them lapse.
    void RemovePeer(TStunAddress Peer);
    // Gives the allocation back (best effort, sent once) and stops.
    void Stop();

    // The datagrams to send to the relay, oldest first.
    std::vector<std::vector<std::uint8_t>> TakeDatagrams();
    // Payload for Peer as a datagram to the relay; empty without an allocation or for a peer
    // not added.
    std::vector<std::uint8_t> Wrap(TStunAddress Peer, std::span<const std::uint8_t> Payload) const;

    TState State() const { return Phase; }
    TTurnFailure Failure() const { return Failed; }
    // What the relay said when it refused, for the log.
    const std::string& FailureText() const { return FailedText; }
    // Where peers send to reach this machine, and where the relay sees it.
    std::optional<TStunAddress> Relayed() const { return RelayedAddress; }
    std::optional<TStunAddress> Mapped() const { return MappedAddress; }
    bool ChannelBound(TStunAddress Peer) const;
    // When Tick next has something to do, if ever.
    std::optional<TTurnTime> NextWake() const;

private:
    struct TTransaction {
        TStunTransactionId Id{};
        TStunMessage Request;
        std::vector<std::uint8_t> Bytes;
        TTurnTime Deadline{};
        TTurnTime NextSend{};
        std::chrono::milliseconds Wait{};
        bool Authenticated = false;
        int StaleNonces = 0;
    };
    struct TPeer {
        TStunAddress Address;
        std::uint16_t Channel = 0;
        bool Bound = false;
        TTurnTime PermissionDue{};
        TTurnTime ChannelDue{};
    };

    void Send(TStunMessage Request, TTurnTime Now, int StaleNonces = 0);
    void Answered(const TTransaction& T, const TStunMessage& Response, TTurnTime Now);
    void Allocated(const TStunMessage& Response, TTurnTime Now);
    void Renew(TTurnTime Now);
    void Fail(TTurnFailure Reason, std::string Text);
    TPeer* FindPeer(TStunAddress Address);
    const TPeer* FindPeer(TStunAddress Address) const;

    TStunAddress Server;
    TTurnCredentials Credentials;
    std::optional<std::string> Realm;
    std::optional<std::string> Nonce;
    TStunKey Key{};

    TState Phase = TState::Idle;
    TTurnFailure Failed = TTurnFailure::None;
    std::string FailedText;
    std::optional<TStunAddress> RelayedAddress;
    std::optional<TStunAddress> MappedAddress;
    TTurnTime RefreshDue{};
    std::uint16_t NextChannel = kFirstChannel;

    std::vector<TTransaction> Waiting;
    std::vector<TPeer> Peers;
    std::vector<std::vector<std::uint8_t>> Outgoing;
};

} // namespace dplay
