#include "LobbyWire.h"

#include <arpa/inet.h>
#include <sodium.h>

#include <cstring>

namespace dplay {

namespace {

constexpr int kVariant = sodium_base64_VARIANT_ORIGINAL;

std::string ToText(const std::vector<std::uint8_t>& Bytes) {
    std::string text(sodium_base64_encoded_len(Bytes.size(), kVariant), '\0');
    sodium_bin2base64(text.data(), text.size(), Bytes.data(), Bytes.size(), kVariant);
    text.pop_back(); // the terminating zero
    return text;
}

std::optional<std::vector<std::uint8_t>> FromText(std::string_view Text) {
    // No record of ours is empty; nor may the decoder be handed no buffer at all.
    if (Text.empty() || Text.size() > kMaxLobbyText)
        return std::nullopt;
    std::vector<std::uint8_t> bytes(Text.size());
    std::size_t length = 0;
    const char* end = nullptr;
    if (sodium_base642bin(bytes.data(), bytes.size(), Text.data(), Text.size(), nullptr, &length,
                          &end, kVariant) != 0 ||
        end != Text.data() + Text.size())
        return std::nullopt;
    bytes.resize(length);
    return bytes;
}

void PutAddress(std::vector<std::uint8_t>& Bytes, TAddress Address) {
    const auto at = Bytes.size();
    Bytes.resize(at + 6);
    std::memcpy(Bytes.data() + at, &Address.Ip, 4);
    std::memcpy(Bytes.data() + at + 4, &Address.Port, 2);
}

TAddress GetAddress(const std::uint8_t* Bytes) {
    TAddress a;
    std::memcpy(&a.Ip, Bytes, 4);
    std::memcpy(&a.Port, Bytes + 4, 2);
    return a;
}

} // namespace

bool PlausiblePeer(TAddress Address) {
    const std::uint32_t ip = ntohl(Address.Ip);
    const std::uint32_t first = ip >> 24;
    return Address.Port != 0 && first != 0 && first != 127 && first < 224;
}

std::string EncodeLobbySession(const TSessionReply& Reply, TAddress Host, TAddress Relay) {
    TSessionReply r = Reply;
    r.Nonce = 0;
    r.SessionPort = Host.Port;
    std::vector<std::uint8_t> bytes;
    PutAddress(bytes, Host);
    PutAddress(bytes, Relay);
    const auto reply = EncodeReply(r);
    bytes.insert(bytes.end(), reply.begin(), reply.end());
    return ToText(bytes);
}

std::optional<TLobbySession> DecodeLobbySession(std::string_view Text) {
    const auto bytes = FromText(Text);
    if (!bytes || bytes->size() < 12)
        return std::nullopt;
    TLobbySession s;
    s.Host = GetAddress(bytes->data());
    s.Relay = GetAddress(bytes->data() + 6);
    auto reply = DecodeReply(std::span(*bytes).subspan(12));
    // An announcement answers no query, so a nonce in it was not written by one of ours; taken,
    // it would not survive being announced again.
    if (!reply || reply->Nonce != 0 || reply->SessionPort != s.Host.Port ||
        !PlausiblePeer(s.Host) || (s.Relay != TAddress{} && !PlausiblePeer(s.Relay)) ||
        reply->CurrentPlayers > reply->MaxPlayers)
        return std::nullopt;
    s.Reply = std::move(*reply);
    return s;
}

std::string EncodePunchRequest(const TPunchRequest& Request) {
    std::vector<std::uint8_t> bytes(sizeof(GUID));
    std::memcpy(bytes.data(), &Request.Instance, sizeof(GUID));
    PutAddress(bytes, Request.From);
    return ToText(bytes);
}

std::optional<TPunchRequest> DecodePunchRequest(std::string_view Text) {
    const auto bytes = FromText(Text);
    if (!bytes || bytes->size() != sizeof(GUID) + 6)
        return std::nullopt;
    TPunchRequest r;
    std::memcpy(&r.Instance, bytes->data(), sizeof(GUID));
    r.From = GetAddress(bytes->data() + sizeof(GUID));
    if (!PlausiblePeer(r.From))
        return std::nullopt;
    return r;
}

} // namespace dplay
