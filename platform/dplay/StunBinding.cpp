#include "StunBinding.h"

#include <arpa/inet.h>

#include <cstring>

namespace dplay {

namespace {

constexpr std::uint32_t kCookie = 0x2112A442;
constexpr std::uint16_t kBindingRequest = 0x0001;
constexpr std::uint16_t kBindingSuccess = 0x0101;
constexpr std::uint16_t kMappedAddress = 0x0001;
constexpr std::uint16_t kXorMappedAddress = 0x0020;

std::uint16_t Get16(const std::uint8_t* P) {
    return static_cast<std::uint16_t>(P[0] << 8 | P[1]);
}

std::uint32_t Get32(const std::uint8_t* P) {
    return std::uint32_t{P[0]} << 24 | std::uint32_t{P[1]} << 16 | std::uint32_t{P[2]} << 8 | P[3];
}

} // namespace

std::vector<std::uint8_t> EncodeBindingRequest(const TStunTransaction& Transaction) {
    std::vector<std::uint8_t> bytes(20);
    bytes[0] = kBindingRequest >> 8;
    bytes[1] = kBindingRequest & 0xFF;
    const std::uint32_t cookie = htonl(kCookie);
    std::memcpy(bytes.data() + 4, &cookie, 4);
    std::memcpy(bytes.data() + 8, Transaction.data(), Transaction.size());
    return bytes;
}

bool IsStun(std::span<const std::uint8_t> Bytes) {
    return Bytes.size() >= 20 && (Bytes[0] & 0xC0) == 0 && Get32(Bytes.data() + 4) == kCookie &&
           Get16(Bytes.data() + 2) == Bytes.size() - 20 && Get16(Bytes.data() + 2) % 4 == 0;
}

std::optional<TAddress> DecodeBindingAnswer(std::span<const std::uint8_t> Bytes,
                                            const TStunTransaction& Transaction) {
    if (!IsStun(Bytes) || Get16(Bytes.data()) != kBindingSuccess ||
        std::memcmp(Bytes.data() + 8, Transaction.data(), Transaction.size()) != 0)
        return std::nullopt;
    std::optional<TAddress> plain, xored;
    for (std::size_t at = 20; at + 4 <= Bytes.size();) {
        const std::uint16_t type = Get16(Bytes.data() + at);
        const std::size_t length = Get16(Bytes.data() + at + 2);
        const std::uint8_t* value = Bytes.data() + at + 4;
        if (at + 4 + length > Bytes.size())
            return std::nullopt;
        // Family 1 is IPv4: eight bytes with the port and the address.
        if ((type == kMappedAddress || type == kXorMappedAddress) && length == 8 && value[1] == 1) {
            std::uint16_t port = Get16(value + 2);
            std::uint32_t ip = Get32(value + 4);
            if (type == kXorMappedAddress) {
                port ^= kCookie >> 16;
                ip ^= kCookie;
            }
            (type == kXorMappedAddress ? xored : plain) = TAddress{htonl(ip), port};
        }
        at += 4 + (length + 3) / 4 * 4;
    }
    return xored ? xored : plain;
}

} // namespace dplay
