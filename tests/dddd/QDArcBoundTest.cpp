// The expansion stays within what an entry's own bytes produce, however much the entry claims.
#include "dddd/QDArc.h"
#include "tests/dddd/ArchiveBuilder.h"
#include "tests/dddd/BytePairEncoder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;
using dddd::test::Block;

namespace {

// A table where code 128 + k stands for 2^(k + 1) copies of 'a': deep, long and honest.
Bytes DoublingTable(int Codes) {
    std::uint8_t left[256], right[256] = {};
    for (int c = 0; c < 256; ++c)
        left[c] = static_cast<std::uint8_t>(c);
    for (int k = 0; k < Codes; ++k)
        left[128 + k] = right[128 + k] = static_cast<std::uint8_t>(k == 0 ? 'a' : 127 + k);
    return dddd::test::EncodePairTable(left, right);
}

// A table whose code 200 stands for itself again on the right (or through another code).
Bytes Endless(bool Indirect) {
    std::uint8_t left[256], right[256] = {};
    for (int c = 0; c < 256; ++c)
        left[c] = static_cast<std::uint8_t>(c);
    left[200] = 'a';
    right[200] = Indirect ? 201 : 200;
    left[201] = 'b';
    right[201] = 200;
    return dddd::test::EncodePairTable(left, right);
}

// How the expansion ends: "" with the bytes, or the archive error's message; and how long it took.
struct TOutcome {
    std::string Error;
    std::size_t Size = 0;
    double Seconds = 0;
};

TOutcome Expand(const Bytes& Packed, std::int32_t ExpandedSize) {
    TMemoryStream s;
    s.WriteBuffer(Packed.data(), static_cast<std::int64_t>(Packed.size()));
    s.SetPosition(0);
    TOutcome o;
    const auto start = std::chrono::steady_clock::now();
    try {
        o.Size = static_cast<std::size_t>(dddd::ExpandBytePairs(s, ExpandedSize)->Size());
    } catch (const dddd::EQDAError& e) {
        o.Error = e.what();
    }
    o.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return o;
}

} // namespace

TEST(QDArcBound, AClaimBeyondWhatTheBytesProduceFailsAtOnce) {
    constexpr std::int32_t kMost = 0x7FFFFFFF;
    const Bytes doubling = DoublingTable(20); // code 147 is a mebibyte of 'a'
    const struct {
        const char* What;
        Bytes Packed;
        std::int32_t Claimed;
        std::string Error;
        std::size_t Size;
    } cases[] = {
        {"a pair repeating itself on the right", Block(Endless(false), {200}), kMost,
         dddd::kQDADamaged, 0},
        {"a pair repeating itself through another", Block(Endless(true), {'x', 201}), kMost,
         dddd::kQDADamaged, 0},
        {"the endless code in a later block",
         [&] {
             Bytes b = Block({0xFF, 0x80, 0xFE}, {'x', 'y'});
             const Bytes e = Block(Endless(false), {200});
             b.insert(b.end(), e.begin(), e.end());
             return b;
         }(),
         kMost, dddd::kQDADamaged, 0},
        {"an honest mebibyte claimed as two gibibytes", Block(doubling, {147}), kMost,
         dddd::kQDADamaged, 0},
        {"an honest mebibyte claimed one byte short", Block(doubling, {147}), (1 << 20) - 1,
         dddd::kQDADamaged, 0},
        {"an honest mebibyte claimed as it is", Block(doubling, {147}), 1 << 20, "", 1 << 20},
        {"two mebibytes over two blocks",
         [&] {
             const Bytes one = Block(doubling, {147});
             Bytes b = one;
             b.insert(b.end(), one.begin(), one.end());
             return b;
         }(),
         1 << 21, "", 1 << 21},
    };
    for (const auto& c : cases) {
        const TOutcome o = Expand(c.Packed, c.Claimed);
        EXPECT_EQ(o.Error, c.Error) << c.What;
        EXPECT_EQ(o.Size, c.Size) << c.What;
        if (!c.Error.empty()) {
            EXPECT_LT(o.Seconds, 0.25) << c.What; // refused before any writing
        }
    }
}
