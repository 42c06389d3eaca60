#include "dddd/QDArc.h"

#include "platform/rtl/FileStream.h"
#include "tests/dddd/ArchiveBuilder.h"
#include "tests/dddd/BmpFiles.h"
#include "tests/dddd/BytePairEncoder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace fs = std::filesystem;
using dddd::EQDAError;
using dddd::test::Block;
using dddd::test::BuildArchive;
using dddd::test::TArchiveEntry;
using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes FileBytes(const fs::path& P) {
    std::ifstream f(P, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

Bytes ReadmeText() {
    Bytes text = FileBytes(fs::path(MAREVO_TREE) / "README.md");
    EXPECT_GT(text.size(), 1000u);
    return text;
}

Bytes RandomBytes(std::size_t N) {
    std::mt19937 rng(20260101);
    Bytes b(N);
    for (auto& x : b)
        x = static_cast<std::uint8_t>(rng());
    return b;
}

Bytes Contents(TMemoryStream& S) {
    return Bytes(S.Memory(), S.Memory() + S.Size());
}

std::unique_ptr<TMemoryStream> StreamOf(const Bytes& B) {
    auto s = std::make_unique<TMemoryStream>();
    s->WriteBuffer(B.data(), static_cast<std::int64_t>(B.size()));
    s->SetPosition(0);
    return s;
}

Bytes ReadEntry(const Bytes& Archive, const std::string& Name) {
    auto s = StreamOf(Archive);
    auto r = dddd::ReadArchiveEntry(*s, Name);
    EXPECT_EQ(r->Position(), 0);
    return Contents(*r);
}

// The message of the EQDAError that F raises, or "" when it raises none.
template <class F> std::string QDAErrorOf(F&& Call) {
    try {
        Call();
    } catch (const EQDAError& e) {
        return e.what();
    }
    return "";
}

struct TPairs {
    std::uint8_t Left[256];
    std::uint8_t Right[256] = {};
    TPairs() {
        for (int c = 0; c < 256; ++c)
            Left[c] = static_cast<std::uint8_t>(c);
    }
    TPairs& Pair(int Code, int L, int R) {
        Left[Code] = static_cast<std::uint8_t>(L);
        Right[Code] = static_cast<std::uint8_t>(R);
        return *this;
    }
    Bytes Table() const { return dddd::test::EncodePairTable(Left, Right); }
};

Bytes Expand(const Bytes& Packed, std::int32_t ExpandedSize) {
    auto s = StreamOf(Packed);
    auto r = dddd::ExpandBytePairs(*s, ExpandedSize);
    EXPECT_EQ(s->Position(), s->Size());
    EXPECT_EQ(r->Position(), 0);
    return Contents(*r);
}

} // namespace

TEST(QDArc, EveryKindOfDataComesBackUnchangedThroughBothMethods) {
    const Bytes bmp = dddd::test::MakeBmp8(61, 37, [](int x, int y) {
        return static_cast<std::uint8_t>((x / 8 + y / 8) % 2 ? 200 : x * 4);
    });
    const struct {
        const char* Name;
        Bytes Data;
        bool Shrinks; // the encoder found pairs to replace, so the decoder had pairs to expand
    } cases[] = {
        {"readme.txt", ReadmeText(), true},
        {"pattern.bmp", bmp, true},
        {"noise.bin", RandomBytes(20000), false},
        {"same.bin", Bytes(100000, 0x41), true},
        {"empty.bin", {}, false},
    };
    std::vector<TArchiveEntry> entries;
    for (const auto& c : cases)
        entries.push_back({c.Name, c.Data});
    for (std::int32_t method : {1, 0}) {
        const Bytes archive = BuildArchive(method, entries);
        for (std::size_t i = 0; i < std::size(cases); ++i) {
            SCOPED_TRACE(std::string(cases[i].Name) + " method " + std::to_string(method));
            EXPECT_EQ(ReadEntry(archive, cases[i].Name), cases[i].Data);
            if (method == 1 && cases[i].Shrinks) {
                EXPECT_LT(dddd::test::GetLe32(archive, dddd::test::StoredSizeAt(i)),
                          cases[i].Data.size() * 3 / 4);
            }
        }
    }
}

TEST(QDArc, ExtractFromArchiveReadsAFileAndLetsAFailedOpenThrough) {
    const fs::path path =
        fs::temp_directory_path() / ("marevo-qdarc-" + std::to_string(::getpid()) + ".qda");
    const Bytes data = RandomBytes(3000);
    {
        const Bytes archive = BuildArchive(1, {{"x.bmp", data}});
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(archive.data()),
                   static_cast<std::streamsize>(archive.size()));
    }
    auto r = dddd::ExtractFromArchive(path.string(), "X.BMP");
    EXPECT_EQ(r->Position(), 0);
    EXPECT_EQ(Contents(*r), data);
    EXPECT_EQ(QDAErrorOf([&] { dddd::ExtractFromArchive(path.string(), "y.bmp"); }),
              dddd::kQDAEntryNotFound);
    fs::remove(path);
    EXPECT_THROW(dddd::ExtractFromArchive(path.string(), "x.bmp"), EFOpenError);
}

TEST(QDArc, NamesMatchWhateverTheirCaseAndTheFirstMatchWins) {
    const Bytes one{1, 1, 1}, two{2, 2}, three{3};
    // "ア" in Shift-JIS is 0x83 0x41: its second byte is no letter "A".
    const std::string katakanaA = "\x83\x41.BMP";
    for (std::int32_t method : {1, 0, 7}) {
        SCOPED_TRACE("method " + std::to_string(method));
        const Bytes archive = BuildArchive(
            method, {{"abc.bmp", one}, {"ABC.bmp", two}, {katakanaA, three}, {"last", two}});
        EXPECT_EQ(ReadEntry(archive, "ABC.BMP"), one);
        EXPECT_EQ(ReadEntry(archive, "abc.bmp"), one);
        EXPECT_EQ(ReadEntry(archive, "\x83\x41.bmp"), three);
        EXPECT_EQ(QDAErrorOf([&] { ReadEntry(archive, "\x83\x61.bmp"); }), dddd::kQDAEntryNotFound);
        EXPECT_EQ(ReadEntry(archive, "LAST"), two);
    }
}

TEST(QDArc, MissingEntriesAndForeignFilesAreRefused) {
    Bytes withZeroOffset = BuildArchive(0, {{"a", {1}}, {"b", {2}}});
    dddd::test::PutLe32(withZeroOffset, dddd::test::DataOffsetAt(0), 0);
    Bytes badMagic = BuildArchive(0, {{"a", {1}}});
    const struct {
        const char* What;
        Bytes Archive;
        std::string Name;
        const char* Error;
    } cases[] = {
        {"Count 0", BuildArchive(1, {}), "a", dddd::kQDAEntryNotFound},
        {"Count 0, empty name", BuildArchive(1, {}), "", dddd::kQDAEntryNotFound},
        {"unknown name", BuildArchive(1, {{"a", {1}}}), "b", dddd::kQDAEntryNotFound},
        {"first match at offset 0", withZeroOffset, "A", dddd::kQDAEntryNotFound},
        {"empty file", {}, "a", dddd::kQDANotArchive},
        {"short header", Bytes(100, 0), "a", dddd::kQDANotArchive},
        {"zero header", Bytes(1000, 0), "a", dddd::kQDANotArchive},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        EXPECT_EQ(QDAErrorOf([&] { ReadEntry(c.Archive, c.Name); }), c.Error);
    }
    EXPECT_EQ(ReadEntry(withZeroOffset, "b"), Bytes{2});
    for (int i = 4; i < 8; ++i) {
        Bytes archive = badMagic;
        archive[i] ^= 0x20;
        EXPECT_EQ(QDAErrorOf([&] { ReadEntry(archive, "a"); }), dddd::kQDANotArchive) << i;
    }
}

TEST(QDArc, HeaderTestLooksOnlyAtTheMagic) {
    std::uint8_t header[256] = {};
    EXPECT_FALSE(dddd::IsArchiveHeader(header));
    header[4] = 'Q', header[5] = 'D', header[6] = 'A', header[7] = '0';
    EXPECT_TRUE(dddd::IsArchiveHeader(header));
    header[0] = 0xFF, header[255] = 0xFF;
    EXPECT_TRUE(dddd::IsArchiveHeader(header));
    header[7] = 'O';
    EXPECT_FALSE(dddd::IsArchiveHeader(header));
}

TEST(QDArc, WellFormedBlocksDecodeAsWritten) {
    const Bytes allLiteral = TPairs().Table();
    EXPECT_EQ(allLiteral, (Bytes{0xFF, 0x80, 0xFE}));
    const Bytes raw{0, 7, 128, 255, 0xFF, 0x80, 0xFE, 'Q'};
    // A left-nested chain far deeper than the 36 pending codes a small stack would hold:
    // code 200 stands for 1 followed by 199 bytes 250.
    TPairs deep;
    deep.Pair(2, 1, 250);
    for (int c = 3; c <= 200; ++c)
        deep.Pair(c, c - 1, 250);
    Bytes deepOut{1};
    deepOut.insert(deepOut.end(), 199, 250);
    deepOut.push_back(1);
    const struct {
        const char* What;
        Bytes Packed;
        Bytes Out;
    } cases[] = {
        {"literal table", Block(allLiteral, raw), raw},
        {"two blocks with their own tables",
         [] {
             Bytes b = Block(TPairs().Pair(200, 'a', 'b').Table(), {200, 200});
             Bytes c = Block(TPairs().Pair(200, 'c', 'd').Table(), {200, 'x'});
             b.insert(b.end(), c.begin(), c.end());
             return b;
         }(),
         {'a', 'b', 'a', 'b', 'c', 'd', 'x'}},
        {"pairs of pairs",
         Block(TPairs().Pair(1, 'x', 'y').Pair(2, 1, 1).Table(), {2, 'z', 2}),
         {'x', 'y', 'x', 'y', 'z', 'x', 'y', 'x', 'y'}},
        {"a block of no bytes", Block(allLiteral, {}), {}},
        {"deep chain", Block(deep.Table(), {200, 1}), deepOut},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        EXPECT_EQ(Expand(c.Packed, static_cast<std::int32_t>(c.Out.size())), c.Out);
    }
}

TEST(QDArc, DamagedBlocksAreRefused) {
    const Bytes literal{0xFF, 0x80, 0xFE};
    const Bytes good = Block(literal, {'a', 'b', 'c'});
    auto cut = [](Bytes B, std::size_t Keep) {
        B.resize(Keep);
        return B;
    };
    auto plus = [](Bytes B, std::initializer_list<std::uint8_t> More) {
        B.insert(B.end(), More);
        return B;
    };
    const struct {
        const char* What;
        Bytes Packed;
        std::int32_t ExpandedSize;
    } cases[] = {
        {"table cut short", {0xFF}, 0},
        {"table cut inside a pair", {0x00, 'a'}, 0},
        {"packed size cut short", cut(good, 5), 3},
        {"packed data cut short", cut(good, good.size() - 1), 3},
        {"a stray byte after the last block", plus(good, {0x00}), 3},
        {"a skip past code 255", {0xFF, 0x80, 0xFF, 0, 0, 0, 0}, 0},
        {"a run past code 255", {0xFF, 0x80, 0xF8, 0xFA, 10, 0, 0, 0, 0}, 0},
        {"pairs that expand into each other's left half",
         Block(TPairs().Pair(200, 201, 'x').Pair(201, 200, 'y').Table(), {200}), 1 << 20},
        {"a pair that expands into its own left half through three codes",
         Block(TPairs().Pair(10, 11, 'x').Pair(11, 12, 'x').Pair(12, 10, 'x').Table(), {10}),
         1 << 20},
        {"a pair that repeats itself for ever on the right",
         Block(TPairs().Pair(200, 'a', 200).Table(), {200}), 1 << 20},
        {"fewer bytes than the expanded size", good, 4},
        {"more bytes than the expanded size", good, 2},
        {"a negative expanded size", good, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        EXPECT_EQ(QDAErrorOf([&] { Expand(c.Packed, c.ExpandedSize); }), dddd::kQDADamaged);
    }
}

TEST(QDArc, DirectoriesThatPromiseMoreThanTheFileHoldsAreRefused) {
    const Bytes data = RandomBytes(500);
    const Bytes packed = BuildArchive(1, {{"a", data}});
    const Bytes plain = BuildArchive(0, {{"a", data}});
    auto with = [](Bytes B, std::size_t At, std::uint32_t V) {
        dddd::test::PutLe32(B, At, V);
        return B;
    };
    const std::uint32_t size = static_cast<std::uint32_t>(packed.size());
    const struct {
        const char* What;
        Bytes Archive;
    } cases[] = {
        {"truncated packed archive", Bytes(packed.begin(), packed.end() - 10)},
        {"truncated plain archive", Bytes(plain.begin(), plain.end() - 1)},
        {"truncated directory", Bytes(packed.begin(), packed.begin() + 400)},
        {"stored size past the end", with(packed, dddd::test::StoredSizeAt(0), size)},
        {"stored size near 4 GiB", with(packed, dddd::test::StoredSizeAt(0), 0xFFFFFFF0u)},
        {"data offset past the end", with(packed, dddd::test::DataOffsetAt(0), size + 1)},
        {"data offset near 4 GiB", with(plain, dddd::test::DataOffsetAt(0), 0xFFFFFFFFu)},
        {"plain entry larger than the file", with(plain, dddd::test::ExpandedSizeAt(0), 501)},
        {"expanded size above 2 GiB", with(packed, dddd::test::ExpandedSizeAt(0), 0x80000000u)},
        {"expanded size smaller than the data", with(packed, dddd::test::ExpandedSizeAt(0), 499)},
        {"count larger than the directory", with(packed, dddd::test::CountAt, 1000)},
        {"negative count", with(packed, dddd::test::CountAt, 0x80000000u)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        EXPECT_EQ(QDAErrorOf([&] { ReadEntry(c.Archive, "a"); }), dddd::kQDADamaged);
    }
}
