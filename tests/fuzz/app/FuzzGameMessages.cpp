// Arbitrary bytes from the wire into the game-message decoder alone, no window: whatever
// arrives, a state comes out clamped, chat holds no zero byte, pixels are exactly the expected
// length, and writing the message back out reads as the same message again.
#include "app/GameMessages.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

void Check(bool Holds) {
    if (!Holds)
        std::abort();
}

bool Clamped(const TYachtState& S) {
    return std::fabs(S.X) <= 32000 && std::fabs(S.Z) <= 32000 && std::fabs(S.Heel) <= 45 &&
           S.WindAngle >= 0 && S.WindAngle <= 180 && S.Reserved == 0;
}

bool Same(const TGameMessage& A, const TGameMessage& B) {
    if (A.index() != B.index())
        return false;
    if (const auto* a = std::get_if<TStateMessage>(&A)) {
        const TYachtState& b = std::get<TStateMessage>(B).State;
        return std::memcmp(&a->State, &b, sizeof b) == 0;
    }
    if (const auto* a = std::get_if<TTextureMessage>(&A)) {
        const auto& b = std::get<TTextureMessage>(B).Pixels;
        return a->Pixels.size() == b.size() &&
               (b.empty() || std::memcmp(a->Pixels.data(), b.data(), b.size()) == 0);
    }
    if (const auto* a = std::get_if<TChatMessage>(&A))
        return *a == std::get<TChatMessage>(B);
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    // The first byte picks the expected texture length: one of the usual ones, or this very
    // message's, so texture decoding is reached at every size.
    if (Size == 0 || Size > 65536)
        return 0;
    const std::uint8_t mode = Data[0];
    ++Data;
    --Size;
    const auto size = static_cast<std::int32_t>(Size);
    const std::int32_t expected = mode % 3 == 0 ? kTextureMessageSize : mode % 3 == 1 ? size : 0;

    const std::optional<TGameMessage> message = DecodeGameMessage(Data, size, expected);
    Check(message.has_value());
    if (const auto* state = std::get_if<TStateMessage>(&*message))
        Check(size == kStateMessageSize && Clamped(state->State));
    if (const auto* texture = std::get_if<TTextureMessage>(&*message))
        Check(size == expected && texture->Pixels.size() == Size);
    if (const auto* chat = std::get_if<TChatMessage>(&*message))
        Check(chat->Text.find('\0') == std::string::npos && chat->Text.size() <= Size);

    // A decoded message, written and read again, is itself: the decoder's clamping is a fixed
    // point and chat loses nothing it kept. Chat that grew into another message's shape is the
    // one ambiguity of the wire, and is skipped.
    const std::vector<std::uint8_t> again = EncodeGameMessage(*message);
    const std::optional<TGameMessage> reread =
        DecodeGameMessage(again.data(), static_cast<std::int32_t>(again.size()), expected);
    Check(reread.has_value());
    if (!std::holds_alternative<TChatMessage>(*message) ||
        std::holds_alternative<TChatMessage>(*reread))
        Check(Same(*message, *reread));
    return 0;
}
