#pragma once
// Writes archives for the reader's tests: header, directory, then each entry's data in order.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace dddd::test {

struct TArchiveEntry {
    std::string Name;
    std::vector<std::uint8_t> Data;
};

// Method 1 encodes every entry with EncodeBytePairs; any other value stores them as they are.
std::vector<std::uint8_t> BuildArchive(std::int32_t Method,
                                       const std::vector<TArchiveEntry>& Entries);

// Byte offsets of entry Index's directory fields, for tests that damage them.
constexpr std::size_t DataOffsetAt(std::size_t Index) {
    return 256 + 268 * Index;
}
constexpr std::size_t StoredSizeAt(std::size_t Index) {
    return DataOffsetAt(Index) + 4;
}
constexpr std::size_t ExpandedSizeAt(std::size_t Index) {
    return DataOffsetAt(Index) + 8;
}
constexpr std::size_t CountAt = 8;

// One packed block as the reader takes it: its pair table, its 32-bit packed size and the
// packed bytes.
std::vector<std::uint8_t> Block(const std::vector<std::uint8_t>& Table,
                                const std::vector<std::uint8_t>& Packed);

void PutLe32(std::vector<std::uint8_t>& Bytes, std::size_t At, std::uint32_t Value);
std::uint32_t GetLe32(const std::vector<std::uint8_t>& Bytes, std::size_t At);

} // namespace dddd::test
