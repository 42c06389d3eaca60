#pragma once
// An encoder for the archive's byte-pair coding, written from Philip Gage's published
// description ("A New Algorithm for Data Compression", 1994), with the one change the archive
// makes: each block's packed size is 32-bit little-endian instead of 16-bit big-endian.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace dddd::test {

struct TBytePairOptions {
    // Input bytes per block at most; a block also ends once MaxChars distinct bytes are in it,
    // so that codes stay free for pairs.
    std::size_t BlockSize = 5000;
    unsigned MaxChars = 200;
    // A pair must occur this often to earn a code.
    unsigned MinPairs = 3;
};

std::vector<std::uint8_t> EncodeBytePairs(std::span<const std::uint8_t> Data,
                                          const TBytePairOptions& Options = {});

// The pair table of one block in the run coding: Left[c] == c marks a literal code.
std::vector<std::uint8_t> EncodePairTable(const std::uint8_t (&Left)[256],
                                          const std::uint8_t (&Right)[256]);

} // namespace dddd::test
