#include "tests/dddd/ArchiveBuilder.h"

#include "tests/dddd/BytePairEncoder.h"

#include <algorithm>

namespace dddd::test {

void PutLe32(std::vector<std::uint8_t>& Bytes, std::size_t At, std::uint32_t Value) {
    for (int i = 0; i < 4; ++i)
        Bytes[At + i] = static_cast<std::uint8_t>(Value >> (8 * i));
}

std::uint32_t GetLe32(const std::vector<std::uint8_t>& Bytes, std::size_t At) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = v << 8 | Bytes[At + i];
    return v;
}

std::vector<std::uint8_t> Block(const std::vector<std::uint8_t>& Table,
                                const std::vector<std::uint8_t>& Packed) {
    std::vector<std::uint8_t> b = Table;
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<std::uint8_t>(Packed.size() >> (8 * i)));
    b.insert(b.end(), Packed.begin(), Packed.end());
    return b;
}

std::vector<std::uint8_t> BuildArchive(std::int32_t Method,
                                       const std::vector<TArchiveEntry>& Entries) {
    std::vector<std::uint8_t> out(256 + 268 * Entries.size(), 0);
    PutLe32(out, 0, static_cast<std::uint32_t>(Method));
    const std::uint8_t magic[4] = {0x51, 0x44, 0x41, 0x30};
    std::copy(magic, magic + 4, out.begin() + 4);
    PutLe32(out, CountAt, static_cast<std::uint32_t>(Entries.size()));
    for (std::size_t i = 0; i < Entries.size(); ++i) {
        const TArchiveEntry& e = Entries[i];
        const std::vector<std::uint8_t> stored = Method == 1 ? EncodeBytePairs(e.Data) : e.Data;
        PutLe32(out, DataOffsetAt(i), static_cast<std::uint32_t>(out.size()));
        PutLe32(out, StoredSizeAt(i), static_cast<std::uint32_t>(stored.size()));
        PutLe32(out, ExpandedSizeAt(i), static_cast<std::uint32_t>(e.Data.size()));
        std::copy_n(e.Name.begin(), std::min<std::size_t>(e.Name.size(), 255),
                    out.begin() + DataOffsetAt(i) + 12);
        out.insert(out.end(), stored.begin(), stored.end());
    }
    return out;
}

} // namespace dddd::test
