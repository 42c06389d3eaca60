// The archive reader's limits, each tried exactly at the limit and one past it, with everything
// else in the input well formed so that the refusal can only come from the limit itself.
#include "dddd/QDArc.h"

#include "tests/dddd/ArchiveBuilder.h"
#include "tests/dddd/BytePairEncoder.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

using dddd::EQDAError;
using dddd::test::BuildArchive;
using Bytes = std::vector<std::uint8_t>;

namespace {

std::unique_ptr<TMemoryStream> StreamOf(const Bytes& B) {
    auto s = std::make_unique<TMemoryStream>();
    s->WriteBuffer(B.data(), static_cast<std::int64_t>(B.size()));
    s->SetPosition(0);
    return s;
}

// "" when Call returns, else the message of the EQDAError it raises.
std::string QDAErrorOf(const std::function<void()>& Call) {
    try {
        Call();
    } catch (const EQDAError& e) {
        return e.what();
    }
    return "";
}

std::function<void()> Expanding(Bytes Packed, std::int32_t ExpandedSize) {
    return [=] { dddd::ExpandBytePairs(*StreamOf(Packed), ExpandedSize); };
}

std::function<void()> Reading(Bytes Archive, std::string Name = "a") {
    return [=] { dddd::ReadArchiveEntry(*StreamOf(Archive), Name); };
}

// A block whose only pair is code 200 = "ab", followed by Uses of that code.
Bytes PairBlock(int Uses) {
    std::uint8_t left[256], right[256] = {};
    for (int c = 0; c < 256; ++c)
        left[c] = static_cast<std::uint8_t>(c);
    left[200] = 'a', right[200] = 'b';
    Bytes b = dddd::test::EncodePairTable(left, right);
    b.insert(b.end(), {static_cast<std::uint8_t>(Uses), 0, 0, 0});
    b.insert(b.end(), static_cast<std::size_t>(Uses), 200);
    return b;
}

Bytes With(Bytes B, std::size_t At, std::uint32_t V) {
    dddd::test::PutLe32(B, At, V);
    return B;
}

} // namespace

TEST(QDArcLimits, EveryLimitAcceptsInputAtItAndRefusesInputOnePastIt) {
    // The pair table's runs: after code 250 a run of 5 codes ends on code 255, a run of 6
    // would write a 257th entry.
    const Bytes runTo255{0xFF, 0x80, 0xF8, 0xFA, 4, 0xFB, 0xFC, 0xFD, 0xFE, 0xFF, 0, 0, 0, 0};
    const Bytes runTo256{0xFF, 0x80, 0xF8, 0xFA, 5, 0xFB, 0xFC, 0xFD, 0xFE, 0xFF, 0, 0, 0, 0, 0};
    const Bytes emptyEntry = BuildArchive(0, {{"a", {}}});
    const Bytes plain = BuildArchive(0, {{"a", {1, 2, 3}}});
    const Bytes packed = BuildArchive(1, {{"a", Bytes(300, 'x')}});
    const std::uint32_t packedStored = dddd::test::GetLe32(packed, dddd::test::StoredSizeAt(0));
    const struct {
        const char* What;
        std::function<void()> AtLimit, PastLimit;
    } cases[] = {
        {"a run of pair codes ending on code 255", Expanding(runTo255, 0), Expanding(runTo256, 0)},
        {"a remembered expansion ending at the expanded size", Expanding(PairBlock(5), 10),
         Expanding(PairBlock(6), 10)},
        {"a block's packed size reaching the end of the input", Expanding(PairBlock(3), 6),
         [&] {
             Bytes b = PairBlock(3);
             b[b.size() - 7] = 4; // the packed size, with the data one byte short of it
             Expanding(b, 6)();
         }},
        {"a directory filling the file", Reading(emptyEntry),
         Reading(With(emptyEntry, dddd::test::CountAt, 2))},
        {"an entry's data offset at the end of the file", Reading(emptyEntry),
         Reading(With(emptyEntry, dddd::test::DataOffsetAt(0),
                      static_cast<std::uint32_t>(emptyEntry.size() + 1)))},
        {"plain data ending at the end of the file", Reading(plain),
         Reading(With(plain, dddd::test::ExpandedSizeAt(0), 4))},
        {"packed data ending at the end of the file", Reading(packed),
         Reading(With(packed, dddd::test::StoredSizeAt(0), packedStored + 1))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        EXPECT_EQ(QDAErrorOf(c.AtLimit), "");
        EXPECT_EQ(QDAErrorOf(c.PastLimit), dddd::kQDADamaged);
    }
}

TEST(QDArcLimits, LeadBytesAtTheEndsOfTheShiftJisRangesKeepTheirSecondByteFromFolding) {
    // After a lead byte, "A" is the second half of a character and must match only itself;
    // after any other byte it is a letter and matches "a" too.
    const struct {
        std::uint8_t Byte;
        bool Lead;
    } cases[] = {{0x80, false}, {0x81, true}, {0x9F, true}, {0xA0, false},
                 {0xDF, false}, {0xE0, true}, {0xFC, true}, {0xFD, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "byte 0x" << std::hex << int(c.Byte));
        const std::string stored = std::string(1, char(c.Byte)) + "A.BMP";
        const std::string lower = std::string(1, char(c.Byte)) + "a.bmp";
        const Bytes archive = BuildArchive(0, {{stored, {7}}});
        EXPECT_EQ(QDAErrorOf(Reading(archive, stored)), "");
        EXPECT_EQ(QDAErrorOf(Reading(archive, lower)), c.Lead ? dddd::kQDAEntryNotFound : "");
    }
}
