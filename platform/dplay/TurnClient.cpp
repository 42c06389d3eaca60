#include "TurnClient.h"

#include <algorithm>
#include <utility>

#include <sodium.h>

namespace dplay {

namespace {

constexpr std::uint8_t kUdp = 17;
constexpr std::uint32_t kDefaultLifetime = 600;
// A relay that keeps calling its nonce stale is not going to take one.
constexpr int kMaxStaleNonces = 3;
constexpr std::uint16_t kUnauthorized = 401;
constexpr std::uint16_t kStaleNonce = 438;

// Random, so that nobody off the path can answer a request they never saw.
TStunTransactionId NewTransactionId() {
    [[maybe_unused]] static const int ready = sodium_init();
    TStunTransactionId id;
    randombytes_buf(id.data(), id.size());
    return id;
}

// Renewed a minute before the relay would let the allocation lapse, or halfway through a
// lifetime too short for that.
std::chrono::seconds RefreshAfter(std::uint32_t Lifetime) {
    if (Lifetime > 120)
        return std::chrono::seconds(Lifetime - 60);
    return std::chrono::seconds(std::max<std::uint32_t>(Lifetime / 2, 1));
}

TStunMessage Request(TStunMethod Method) {
    TStunMessage m;
    m.Method = Method;
    m.Class = TStunClass::Request;
    return m;
}

const char* NameOf(TStunMethod Method) {
    switch (Method) {
    case TStunMethod::Allocate:
        return "Allocate";
    case TStunMethod::Refresh:
        return "Refresh";
    case TStunMethod::CreatePermission:
        return "CreatePermission";
    case TStunMethod::ChannelBind:
        return "ChannelBind";
    default:
        return "request";
    }
}

} // namespace

TTurnClient::TTurnClient(TStunAddress Server, TTurnCredentials Credentials)
    : Server(Server), Credentials(std::move(Credentials)) {}

void TTurnClient::Start(TTurnTime Now) {
    if (Phase != TState::Idle)
        return;
    Phase = TState::Allocating;
    TStunMessage m = Request(TStunMethod::Allocate);
    m.RequestedTransport = kUdp;
    Send(std::move(m), Now);
}

void TTurnClient::Send(TStunMessage Message, TTurnTime Now, int StaleNonces) {
    Message.Id = NewTransactionId();
    const bool authenticated = Realm.has_value();
    if (authenticated) {
        Message.Username = Credentials.Username;
        Message.Realm = Realm;
        Message.Nonce = Nonce;
    }
    std::vector<std::uint8_t> bytes =
        EncodeStun(Message, authenticated ? std::span<const std::uint8_t>(Key)
                                          : std::span<const std::uint8_t>());
    if (bytes.empty()) {
        Fail(TTurnFailure::CredentialsRefused, "credentials too long to send");
        return;
    }
    Outgoing.push_back(bytes);
    Waiting.push_back(TTransaction{Message.Id, std::move(Message), std::move(bytes), Now + kGiveUp,
                                   Now + kFirstRetry, kFirstRetry, authenticated, StaleNonces});
}

std::optional<TTurnDelivery> TTurnClient::Received(std::span<const std::uint8_t> Bytes,
                                                   TStunAddress From, TTurnTime Now) {
    if (From != Server || (Phase != TState::Allocating && Phase != TState::Allocated))
        return std::nullopt;
    if (IsChannelData(Bytes)) {
        const auto data = DecodeChannelData(Bytes);
        if (!data)
            return std::nullopt;
        const auto peer = std::find_if(Peers.begin(), Peers.end(), [&](const TPeer& P) {
            return P.Bound && P.Channel == data->Channel;
        });
        if (peer == Peers.end())
            return std::nullopt;
        return TTurnDelivery{peer->Address, {data->Payload.begin(), data->Payload.end()}};
    }
    auto message = DecodeStun(Bytes);
    if (!message)
        return std::nullopt;
    if (message->Class == TStunClass::Indication) {
        // The relay checks permissions by address alone, and so does this: a router that gives
        // a new port for every destination keeps its address.
        if (message->Method != TStunMethod::Data || !message->XorPeer || !message->Data ||
            std::none_of(Peers.begin(), Peers.end(),
                         [&](const TPeer& P) { return P.Address.Ip == message->XorPeer->Ip; }))
            return std::nullopt;
        return TTurnDelivery{*message->XorPeer, std::move(*message->Data)};
    }
    if (message->Class == TStunClass::Request)
        return std::nullopt;
    const auto waiting = std::find_if(Waiting.begin(), Waiting.end(),
                                      [&](const TTransaction& T) { return T.Id == message->Id; });
    if (waiting == Waiting.end() || waiting->Request.Method != message->Method)
        return std::nullopt;
    // Once the relay knows who this is, a success it did not sign is someone else's; an
    // error may come unsigned (it can only end the allocation, which anyone on the path could
    // do by dropping datagrams) but a signature on it must be right.
    if (waiting->Authenticated &&
        (message->Class == TStunClass::Success || message->HasIntegrity) &&
        !CheckStunIntegrity(Bytes, Key))
        return std::nullopt;
    const TTransaction done = std::move(*waiting);
    Waiting.erase(waiting);
    Answered(done, *message, Now);
    return std::nullopt;
}

void TTurnClient::Answered(const TTransaction& T, const TStunMessage& Response, TTurnTime Now) {
    const TStunMethod method = T.Request.Method;
    if (Response.Class == TStunClass::Success && Response.UnknownRequired.empty()) {
        if (method == TStunMethod::Allocate) {
            Allocated(Response, Now);
        } else if (method == TStunMethod::Refresh) {
            RefreshDue = Now + RefreshAfter(Response.Lifetime.value_or(kDefaultLifetime));
        } else if (method == TStunMethod::ChannelBind) {
            TPeer* peer = T.Request.XorPeer ? FindPeer(*T.Request.XorPeer) : nullptr;
            if (peer && peer->Channel == T.Request.Channel)
                peer->Bound = true;
        }
        return;
    }

    const std::uint16_t code = Response.Error ? Response.Error->Code : 0;
    if (code == kUnauthorized && !T.Authenticated && Response.Realm && Response.Nonce) {
        Realm = Response.Realm;
        Nonce = Response.Nonce;
        Key = LongTermKey(Credentials.Username, *Realm, Credentials.Password);
        Send(T.Request, Now);
        return;
    }
    if (code == kStaleNonce && T.Authenticated && Response.Nonce &&
        T.StaleNonces < kMaxStaleNonces) {
        Nonce = Response.Nonce;
        if (Response.Realm && Response.Realm != Realm) {
            Realm = Response.Realm;
            Key = LongTermKey(Credentials.Username, *Realm, Credentials.Password);
        }
        Send(T.Request, Now, T.StaleNonces + 1);
        return;
    }

    std::string text = std::string(NameOf(method)) + ": ";
    if (Response.Error)
        text += std::to_string(code) + " " + Response.Error->Reason;
    else if (Response.Class == TStunClass::Success)
        text += "answer with attributes not understood";
    else
        text += "error without a code";
    if (code == kUnauthorized) {
        Fail(T.Authenticated ? TTurnFailure::CredentialsRefused : TTurnFailure::ServerError,
             std::move(text));
        return;
    }
    // A peer the relay will not reach costs that peer only: the others still play.
    if (method == TStunMethod::CreatePermission && T.Request.XorPeer) {
        RemovePeer(*T.Request.XorPeer);
        return;
    }
    if (method == TStunMethod::ChannelBind && T.Request.XorPeer) {
        if (TPeer* peer = FindPeer(*T.Request.XorPeer)) {
            peer->Channel = 0; // Send indications from now on
            peer->Bound = false;
        }
        return;
    }
    Fail(TTurnFailure::ServerError, std::move(text));
}

void TTurnClient::Allocated(const TStunMessage& Response, TTurnTime Now) {
    if (!Response.XorRelayed) {
        Fail(TTurnFailure::ServerError, "Allocate: answer without a relayed address");
        return;
    }
    Phase = TState::Allocated;
    RelayedAddress = Response.XorRelayed;
    MappedAddress = Response.XorMapped;
    RefreshDue = Now + RefreshAfter(Response.Lifetime.value_or(kDefaultLifetime));
    Renew(Now);
}

void TTurnClient::Tick(TTurnTime Now) {
    if (Phase != TState::Allocating && Phase != TState::Allocated)
        return;
    for (TTransaction& t : Waiting) {
        if (Now >= t.Deadline) {
            Fail(TTurnFailure::Unreachable,
                 std::string(NameOf(t.Request.Method)) + ": no answer from the relay");
            return;
        }
        if (Now >= t.NextSend) {
            Outgoing.push_back(t.Bytes);
            t.Wait *= 2;
            t.NextSend = Now + t.Wait;
        }
    }
    Renew(Now);
}

void TTurnClient::Renew(TTurnTime Now) {
    if (Phase != TState::Allocated)
        return;
    if (Now >= RefreshDue) {
        RefreshDue = TTurnTime::max(); // until the answer says the new lifetime
        Send(Request(TStunMethod::Refresh), Now);
    }
    // Send may fail the allocation, which clears Peers under the loop.
    for (std::size_t i = 0; i < Peers.size() && Phase == TState::Allocated; ++i) {
        if (Now >= Peers[i].PermissionDue) {
            Peers[i].PermissionDue = Now + kPermissionRefresh;
            TStunMessage m = Request(TStunMethod::CreatePermission);
            m.XorPeer = Peers[i].Address;
            Send(std::move(m), Now);
        }
        if (i < Peers.size() && Peers[i].Channel != 0 && Now >= Peers[i].ChannelDue) {
            Peers[i].ChannelDue = Now + kChannelRefresh;
            TStunMessage m = Request(TStunMethod::ChannelBind);
            m.XorPeer = Peers[i].Address;
            m.Channel = Peers[i].Channel;
            Send(std::move(m), Now);
        }
    }
}

bool TTurnClient::AddPeer(TStunAddress Peer, TTurnTime Now) {
    if (Phase == TState::Failed || Phase == TState::Closed)
        return false;
    if (FindPeer(Peer))
        return true;
    if (Peers.size() >= kMaxPeers)
        return false;
    // Channel numbers are never reused: the relay keeps a number tied to its old peer for a
    // while after the binding lapses. Past the last one, the peer makes do with Send
    // indications.
    std::uint16_t channel = 0;
    if (NextChannel <= kLastChannel)
        channel = NextChannel++;
    Peers.push_back(TPeer{Peer, channel, false, Now, Now});
    Renew(Now);
    return true;
}

void TTurnClient::RemovePeer(TStunAddress Peer) {
    std::erase_if(Peers, [&](const TPeer& P) { return P.Address == Peer; });
}

void TTurnClient::Stop() {
    if (Phase == TState::Allocated) {
        TStunMessage m = Request(TStunMethod::Refresh);
        m.Lifetime = 0;
        Send(std::move(m), TTurnTime{});
    }
    Phase = TState::Closed;
    Waiting.clear();
    Peers.clear();
}

void TTurnClient::Fail(TTurnFailure Reason, std::string Text) {
    Phase = TState::Failed;
    Failed = Reason;
    FailedText = std::move(Text);
    Waiting.clear();
    Peers.clear();
}

std::vector<std::vector<std::uint8_t>> TTurnClient::TakeDatagrams() {
    return std::exchange(Outgoing, {});
}

std::vector<std::uint8_t> TTurnClient::Wrap(TStunAddress Peer,
                                            std::span<const std::uint8_t> Payload) const {
    const TPeer* peer = FindPeer(Peer);
    if (Phase != TState::Allocated || !peer)
        return {};
    if (peer->Bound)
        return EncodeChannelData(peer->Channel, Payload);
    TStunMessage m;
    m.Method = TStunMethod::Send;
    m.Class = TStunClass::Indication;
    m.Id = NewTransactionId();
    m.XorPeer = Peer;
    m.Data.emplace(Payload.begin(), Payload.end());
    return EncodeStun(m);
}

bool TTurnClient::ChannelBound(TStunAddress Peer) const {
    const TPeer* peer = FindPeer(Peer);
    return peer && peer->Bound;
}

std::optional<TTurnTime> TTurnClient::NextWake() const {
    if (Phase != TState::Allocating && Phase != TState::Allocated)
        return std::nullopt;
    std::optional<TTurnTime> next;
    const auto consider = [&](TTurnTime T) {
        if (!next || T < *next)
            next = T;
    };
    for (const TTransaction& t : Waiting)
        consider(std::min(t.NextSend, t.Deadline));
    if (Phase == TState::Allocated) {
        if (RefreshDue != TTurnTime::max())
            consider(RefreshDue);
        for (const TPeer& p : Peers) {
            consider(p.PermissionDue);
            if (p.Channel != 0)
                consider(p.ChannelDue);
        }
    }
    return next;
}

TTurnClient::TPeer* TTurnClient::FindPeer(TStunAddress Address) {
    const auto it = std::find_if(Peers.begin(), Peers.end(),
                                 [&](const TPeer& P) { return P.Address == Address; });
    return it == Peers.end() ? nullptr : &*it;
}

const TTurnClient::TPeer* TTurnClient::FindPeer(TStunAddress Address) const {
    const auto it = std::find_if(Peers.begin(), Peers.end(),
                                 [&](const TPeer& P) { return P.Address == Address; });
    return it == Peers.end() ? nullptr : &*it;
}

} // namespace dplay
