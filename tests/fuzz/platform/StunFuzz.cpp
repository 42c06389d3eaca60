// Every datagram the session socket hands the relay client passes these decoders first: any
// bytes must be refused or read into a message that stays within them, and a message read
// and written again must read the same.
#include "platform/dplay/StunMessage.h"

#include <cstdlib>

using namespace dplay;

namespace {

bool SameAttributes(const TStunMessage& A, const TStunMessage& B) {
    return A.Method == B.Method && A.Class == B.Class && A.Id == B.Id && A.Mapped == B.Mapped &&
           A.XorMapped == B.XorMapped && A.XorPeer == B.XorPeer && A.XorRelayed == B.XorRelayed &&
           A.Username == B.Username && A.Realm == B.Realm && A.Nonce == B.Nonce &&
           A.Error == B.Error && A.Lifetime == B.Lifetime &&
           A.RequestedTransport == B.RequestedTransport && A.Channel == B.Channel &&
           A.Data == B.Data;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const std::span<const std::uint8_t> bytes(Data, Size);
    static const std::uint8_t kKey[] = {'k', 'e', 'y'};

    (void)CheckStunIntegrity(bytes, kKey);
    if (const auto m = DecodeStun(bytes)) {
        if (!IsStun(bytes) || m->UnknownRequired.size() > TStunMessage::kMaxUnknown)
            std::abort();
        const std::vector<std::uint8_t> again = EncodeStun(*m, kKey);
        // Written again it is no longer than it came, less what is not understood, plus the
        // integrity: only a message already near the longest may not fit.
        if (again.empty() && Size + 24 <= kStunHeaderSize + 0xFFFF)
            std::abort();
        if (again.empty())
            return 0;
        const auto back = DecodeStun(again);
        if (!back || !SameAttributes(*m, *back) || !CheckStunIntegrity(again, kKey))
            std::abort();
    }

    if (const auto c = DecodeChannelData(bytes)) {
        if (c->Payload.data() < Data || c->Payload.data() + c->Payload.size() > Data + Size)
            std::abort();
        const auto back = DecodeChannelData(EncodeChannelData(c->Channel, c->Payload));
        if (!back || back->Channel != c->Channel || back->Payload.size() != c->Payload.size())
            std::abort();
    }
    return 0;
}
