#include "GameMessages.h"

#include "yacht/CntlYacht.h"

#include <cstring>

namespace {

constexpr std::uint8_t kControlKind = 1;
constexpr std::uint8_t kStateKind = 2;
constexpr std::size_t kStateAt = 4;

static_assert(kStateAt + sizeof(TYachtState) == kStateMessageSize);

template <class... F> struct TOverloaded : F... { using F::operator()...; };
template <class... F> TOverloaded(F...) -> TOverloaded<F...>;

} // namespace

std::optional<TGameMessage> DecodeGameMessage(const void* Data, std::int32_t Size,
                                              std::int32_t ExpectedTextureSize) {
    if (Size < 0 || (!Data && Size > 0))
        return std::nullopt;
    const auto* bytes = static_cast<const std::uint8_t*>(Data);
    const auto length = static_cast<std::size_t>(Size);
    if (Size == kControlMessageSize && bytes[0] == kControlKind)
        return TControlMessage{};
    if (Size == kStateMessageSize && bytes[0] == kStateKind) {
        TYachtState raw;
        std::memcpy(&raw, bytes + kStateAt, sizeof raw);
        return TStateMessage{ClampYachtState(raw)};
    }
    if (Size == ExpectedTextureSize)
        return TTextureMessage{std::span(bytes, length)};
    // An empty message may come without a buffer at all: memchr must not see a null pointer.
    const void* zero = length > 0 ? std::memchr(bytes, 0, length) : nullptr;
    const std::size_t textLength =
        zero ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - bytes) : length;
    return TChatMessage{std::string(reinterpret_cast<const char*>(bytes), textLength)};
}

std::vector<std::uint8_t> EncodeGameMessage(const TGameMessage& Message) {
    return std::visit(TOverloaded{
                          [](const TControlMessage&) {
                              return std::vector<std::uint8_t>{kControlKind, 0, 0};
                          },
                          [](const TStateMessage& M) {
                              std::vector<std::uint8_t> b(kStateMessageSize, 0);
                              b[0] = kStateKind;
                              std::memcpy(b.data() + kStateAt, &M.State, sizeof M.State);
                              return b;
                          },
                          [](const TTextureMessage& M) {
                              return std::vector<std::uint8_t>(M.Pixels.begin(), M.Pixels.end());
                          },
                          [](const TChatMessage& M) {
                              std::vector<std::uint8_t> b(M.Text.begin(), M.Text.end());
                              b.push_back(0);
                              return b;
                          },
                      },
                      Message);
}
