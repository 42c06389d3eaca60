#include "QDArc.h"

#include "platform/rtl/FileStream.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>
#include <vector>

namespace dddd {

namespace {

std::uint32_t Le32(const std::uint8_t* P) {
    return static_cast<std::uint32_t>(P[0]) | static_cast<std::uint32_t>(P[1]) << 8 |
           static_cast<std::uint32_t>(P[2]) << 16 | static_cast<std::uint32_t>(P[3]) << 24;
}

[[noreturn]] void Damaged() {
    throw EQDAError(kQDADamaged);
}

// Names are the archive's ANSI (Shift-JIS) text. ASCII letters fold; the second byte of a
// double-byte character is left alone, since it may look like a letter without being one.
std::string FoldName(std::string_view Name) {
    std::string s(Name);
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto ch = static_cast<unsigned char>(s[i]);
        if ((ch >= 0x81 && ch <= 0x9F) || (ch >= 0xE0 && ch <= 0xFC))
            ++i;
        else if (ch >= 'A' && ch <= 'Z')
            s[i] = static_cast<char>(ch - 'A' + 'a');
    }
    return s;
}

// Deeper than any pair table without a cycle can nest (each of at most 255 pair codes adds one
// pending code), so only a table that refers back to itself can fill it.
constexpr std::size_t kStackDepth = 512;
constexpr std::size_t kMemoSize = 32;
// Longer than any entry may be (its size is a positive 32-bit number); small enough that the
// lengths of four thousand million packed bytes still add up without overflow.
constexpr std::uint32_t kTooLong = std::uint32_t(1) << 31;

// What Size packed bytes expand to, given each code's expanded length.
std::uint64_t ExpandedLength(const std::uint8_t* P, std::size_t Size, const std::uint32_t* Length) {
    // Four sums side by side: the loads, not the additions, set the pace.
    std::uint64_t a = 0, b = 0, c = 0, d = 0;
    std::size_t i = 0;
    for (; i + 4 <= Size; i += 4) {
        a += Length[P[i]];
        b += Length[P[i + 1]];
        c += Length[P[i + 2]];
        d += Length[P[i + 3]];
    }
    for (; i < Size; ++i)
        a += Length[P[i]];
    return a + b + c + d;
}

class TPairDecoder {
public:
    TPairDecoder(const std::uint8_t* In, std::size_t InSize, TMemoryStream& Out, std::size_t Limit)
        : In(In), InEnd(In + InSize), Out(Out), Limit(Limit) {
        // The output grows as it is written: a damaged directory must not make us reserve
        // gigabytes for a few bytes of input.
        Reserve(std::min<std::size_t>(Limit, std::max<std::size_t>(InSize * 4, 1 << 20)));
    }

    void Run() {
        while (In < InEnd)
            Block();
        if (Written != Limit)
            Damaged();
        Out.SetSize(static_cast<std::int64_t>(Limit));
    }

private:
    std::uint8_t Next() {
        if (In == InEnd)
            Damaged();
        return *In++;
    }

    void Block() {
        for (unsigned c = 0; c < 256; ++c) {
            Left[c] = static_cast<std::uint8_t>(c);
            Length[c] = 1;
        }
        PairCount = 0;
        unsigned code = 0;
        for (;;) {
            unsigned count = Next();
            if (count > 127) {
                code += count - 127;
                count = 0;
            }
            if (code == 256)
                break;
            if (code + count + 1 > 256)
                Damaged();
            for (unsigned i = 0; i <= count; ++i, ++code) {
                Left[code] = Next();
                if (Left[code] != code) {
                    Right[code] = Next();
                    Length[code] = 0;
                    Pairs[PairCount++] = static_cast<std::uint8_t>(code);
                }
            }
            if (code == 256)
                break;
        }
        if (InEnd - In < 4)
            Damaged();
        const std::uint32_t packedSize = Le32(In);
        In += 4;
        if (packedSize > static_cast<std::size_t>(InEnd - In))
            Damaged();
        Measure();
        // What the block's own bytes expand to must fit in what the entry still claims, before
        // anything is written: a damaged table never makes us write towards a large claim.
        const std::uint64_t total = ExpandedLength(In, packedSize, Length.data());
        if (total > Limit - Written)
            Damaged();
        if (Written + total > Capacity)
            Reserve(
                std::max(static_cast<std::size_t>(Written + total), std::min(Limit, Capacity * 2)));
        Expand(In, In + packedSize);
        In += packedSize;
    }

    // The expanded length of every code of the table. Each pass settles the pairs whose halves
    // are settled, alternating direction so that tables numbered either way settle in one or
    // two; a code still unsettled when a pass settles nothing reaches itself again through its
    // halves and never ends (an honest table has none): it counts as too long, as does anything
    // longer than an entry may be.
    void Measure() {
        unsigned open = PairCount;
        for (bool forward = true; open; forward = !forward) {
            const unsigned before = open;
            for (unsigned i = 0; i < PairCount; ++i) {
                const unsigned c = Pairs[forward ? i : PairCount - 1 - i];
                if (Length[c] || !Length[Left[c]] || !Length[Right[c]])
                    continue;
                Length[c] = static_cast<std::uint32_t>(std::min<std::uint64_t>(
                    kTooLong, std::uint64_t(Length[Left[c]]) + Length[Right[c]]));
                --open;
            }
            if (open == before)
                break;
        }
        for (unsigned i = 0; open && i < PairCount; ++i)
            if (Length[Pairs[i]] == 0)
                Length[Pairs[i]] = kTooLong;
    }

    // Room for Size bytes, and past them for one whole remembered expansion: a copy of fixed
    // size is one pair of wide moves, and the bytes it writes past the end are overwritten or
    // cut off later.
    void Reserve(std::size_t Size) {
        Capacity = Size;
        Out.SetSize(static_cast<std::int64_t>(Capacity + kMemoSize));
        Dest = Out.Memory();
    }

    // Every short code's expansion, written out once per block, so that most codes come out
    // as one copy; the halves of a short code are shorter still, and written first.
    void Remember(unsigned Code) {
        if (Remembered[Code])
            return;
        const unsigned left = Left[Code], right = Right[Code];
        Remember(left);
        Remember(right);
        std::memcpy(Memo[Code].data(), Memo[left].data(), Length[left]);
        std::memcpy(Memo[Code].data() + Length[left], Memo[right].data(), Length[right]);
        Remembered[Code] = true;
    }

    // Kept out of line: inlined into the block reader, its loop loses registers to it and a
    // tenth of its speed. The block's expanded length fits in the capacity, so no write here
    // needs a check.
    [[gnu::noinline]] void Expand(const std::uint8_t* P, const std::uint8_t* End) {
        for (unsigned c = 0; c < 256; ++c) {
            Remembered[c] = Left[c] == c;
            Memo[c][0] = static_cast<std::uint8_t>(c);
        }
        for (unsigned i = 0; i < PairCount; ++i)
            if (Length[Pairs[i]] <= kMemoSize)
                Remember(Pairs[i]);
        std::uint8_t* o = Dest + Written;
        while (P != End) {
            const unsigned code = *P++;
            if (Length[code] <= kMemoSize) {
                std::memcpy(o, Memo[code].data(), kMemoSize);
                o += Length[code];
            } else {
                o = Walk(o, code);
            }
        }
        Written = static_cast<std::size_t>(o - Dest);
    }

    // Expands one long code through the stack of pending codes; the left half comes out first,
    // so it goes on top.
    std::uint8_t* Walk(std::uint8_t* O, unsigned Code) {
        std::size_t sp = 0;
        Stack[sp++] = static_cast<std::uint8_t>(Code);
        while (sp) {
            const unsigned code = Stack[--sp];
            if (Length[code] <= kMemoSize) {
                std::memcpy(O, Memo[code].data(), kMemoSize);
                O += Length[code];
            } else {
                if (sp + 2 > kStackDepth)
                    Damaged();
                Stack[sp++] = Right[code];
                Stack[sp++] = Left[code];
            }
        }
        return O;
    }

    const std::uint8_t* In;
    const std::uint8_t* InEnd;
    TMemoryStream& Out;
    std::size_t Limit;
    std::size_t Capacity = 0;
    std::size_t Written = 0;
    std::uint8_t* Dest = nullptr;
    std::array<std::uint8_t, 256> Left{};
    std::array<std::uint8_t, 256> Right{};
    std::array<std::uint32_t, 256> Length{};
    // The block's pair codes in the order its table gives them.
    std::array<std::uint8_t, 256> Pairs{};
    unsigned PairCount = 0;
    std::array<std::uint8_t, kStackDepth> Stack{};
    std::array<bool, 256> Remembered{};
    std::array<std::array<std::uint8_t, kMemoSize>, 256> Memo{};
};

} // namespace

bool IsArchiveHeader(std::span<const std::uint8_t, kQDAHeaderSize> Header) {
    return Header[4] == 0x51 && Header[5] == 0x44 && Header[6] == 0x41 && Header[7] == 0x30;
}

std::unique_ptr<TMemoryStream> ExpandBytePairs(TMemoryStream& Packed, std::int32_t ExpandedSize) {
    if (ExpandedSize < 0)
        Damaged();
    const std::int64_t end = Packed.Size();
    const std::int64_t start = std::min(Packed.Position(), end);
    auto result = std::make_unique<TMemoryStream>();
    TPairDecoder(Packed.Memory() + start, static_cast<std::size_t>(end - start), *result,
                 static_cast<std::size_t>(ExpandedSize))
        .Run();
    Packed.SetPosition(end);
    result->SetPosition(0);
    return result;
}

std::unique_ptr<TMemoryStream> ReadArchiveEntry(TStream& Stream, const std::string& EntryName) {
    std::array<std::uint8_t, kQDAHeaderSize> header{};
    if (Stream.Read(header.data(), kQDAHeaderSize) != static_cast<std::int64_t>(kQDAHeaderSize) ||
        !IsArchiveHeader(header))
        throw EQDAError(kQDANotArchive);
    const std::int64_t fileSize = Stream.Size();
    const auto method = static_cast<std::int32_t>(Le32(&header[0]));
    const auto count = static_cast<std::int32_t>(Le32(&header[8]));
    if (count < 0 || static_cast<std::int64_t>(count) * static_cast<std::int64_t>(kQDAEntrySize) >
                         fileSize - static_cast<std::int64_t>(kQDAHeaderSize))
        Damaged();
    std::vector<std::uint8_t> directory(static_cast<std::size_t>(count) * kQDAEntrySize);
    if (Stream.Read(directory.data(), static_cast<std::int64_t>(directory.size())) !=
        static_cast<std::int64_t>(directory.size()))
        Damaged();

    const std::string wanted = FoldName(EntryName);
    const std::uint8_t* entry = nullptr;
    for (std::int32_t i = 0; i < count && !entry; ++i) {
        const std::uint8_t* e = &directory[static_cast<std::size_t>(i) * kQDAEntrySize];
        const auto* name = reinterpret_cast<const char*>(e + 12);
        const std::size_t len = std::find(name, name + kQDANameSize, '\0') - name;
        if (FoldName(std::string_view(name, len)) == wanted)
            entry = e;
    }
    const std::uint32_t dataOffset = entry ? Le32(entry) : 0;
    if (dataOffset == 0)
        throw EQDAError(kQDAEntryNotFound);
    const std::uint32_t storedSize = Le32(entry + 4);
    const std::uint32_t expandedSize = Le32(entry + 8);
    const std::int64_t available = fileSize - dataOffset;
    if (available < 0 || expandedSize > 0x7FFFFFFFu)
        Damaged();
    const std::uint32_t bytes = method == kQDABytePairMethod ? storedSize : expandedSize;
    if (bytes > available)
        Damaged();

    auto data = std::make_unique<TMemoryStream>();
    data->SetSize(bytes);
    Stream.SetPosition(dataOffset);
    if (Stream.Read(data->Memory(), bytes) != static_cast<std::int64_t>(bytes))
        Damaged();
    if (method == kQDABytePairMethod)
        return ExpandBytePairs(*data, static_cast<std::int32_t>(expandedSize));
    data->SetPosition(0);
    return data;
}

std::unique_ptr<TMemoryStream> ExtractFromArchive(const std::string& ArchiveFileName,
                                                  const std::string& EntryName) {
    TFileStream file(ArchiveFileName, fmOpenRead);
    return ReadArchiveEntry(file, EntryName);
}

} // namespace dddd
