#include "platform/dplay/Sha256.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Hex(const std::array<std::uint8_t, 32>& Digest) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (const auto b : Digest)
        out += {digits[b >> 4], digits[b & 15]};
    return out;
}

} // namespace

TEST(Sha256, MatchesThePublishedVectorsAcrossTheBlockBoundaries) {
    const struct {
        std::string In;
        const char* Digest;
    } cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& c : cases) {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(c.In.data());
        EXPECT_EQ(Hex(dplay::Sha256({bytes, c.In.size()})), c.Digest) << c.In.size() << " bytes";
    }
}
