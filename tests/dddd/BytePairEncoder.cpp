#include "tests/dddd/BytePairEncoder.h"

#include <array>

namespace dddd::test {

namespace {

void PutLe32(std::vector<std::uint8_t>& Out, std::uint32_t V) {
    for (int i = 0; i < 4; ++i)
        Out.push_back(static_cast<std::uint8_t>(V >> (8 * i)));
}

// Replaces the most frequent pair by a free code until no code is free or no pair is frequent
// enough; fills Left and Right with the codes' meanings.
void PackBlock(std::vector<std::uint8_t>& Block, std::uint8_t (&Left)[256],
               std::uint8_t (&Right)[256], unsigned MinPairs) {
    std::array<bool, 256> taken{};
    for (std::uint8_t b : Block)
        taken[b] = true;
    std::vector<std::uint32_t> counts(65536, 0);
    for (unsigned code = 0; code < 256; ++code) {
        if (taken[code])
            continue;
        if (Block.size() < 2)
            break;
        unsigned best = 0;
        std::uint32_t bestCount = 0;
        for (std::size_t i = 0; i + 1 < Block.size(); ++i) {
            const unsigned pair = Block[i] << 8 | Block[i + 1];
            if (++counts[pair] > bestCount) {
                bestCount = counts[pair];
                best = pair;
            }
        }
        for (std::size_t i = 0; i + 1 < Block.size(); ++i)
            counts[Block[i] << 8 | Block[i + 1]] = 0;
        if (bestCount < MinPairs)
            break;
        const auto l = static_cast<std::uint8_t>(best >> 8);
        const auto r = static_cast<std::uint8_t>(best & 0xFF);
        std::size_t w = 0;
        for (std::size_t i = 0; i < Block.size();) {
            if (i + 1 < Block.size() && Block[i] == l && Block[i + 1] == r) {
                Block[w++] = static_cast<std::uint8_t>(code);
                i += 2;
            } else {
                Block[w++] = Block[i++];
            }
        }
        Block.resize(w);
        Left[code] = l;
        Right[code] = r;
        taken[code] = true;
    }
}

} // namespace

std::vector<std::uint8_t> EncodePairTable(const std::uint8_t (&Left)[256],
                                          const std::uint8_t (&Right)[256]) {
    std::vector<std::uint8_t> out;
    auto literal = [&](unsigned c) { return Left[c] == c; };
    auto put = [&](unsigned c) {
        out.push_back(Left[c]);
        if (!literal(c))
            out.push_back(Right[c]);
    };
    unsigned c = 0;
    while (c < 256) {
        if (literal(c)) {
            // A count above 127 skips that many minus 127 literals, then names one code.
            unsigned skip = 0;
            while (skip < 128 && c + skip < 256 && literal(c + skip))
                ++skip;
            out.push_back(static_cast<std::uint8_t>(127 + skip));
            c += skip;
            if (c == 256)
                break;
            put(c++);
        } else {
            // A run of named codes; a lone literal inside one costs less than a new skip.
            unsigned run = 1;
            while (run < 128 && c + run < 256 &&
                   (!literal(c + run) || (c + run + 1 < 256 && !literal(c + run + 1))))
                ++run;
            out.push_back(static_cast<std::uint8_t>(run - 1));
            for (unsigned i = 0; i < run; ++i)
                put(c++);
        }
    }
    return out;
}

std::vector<std::uint8_t> EncodeBytePairs(std::span<const std::uint8_t> Data,
                                          const TBytePairOptions& Options) {
    std::vector<std::uint8_t> out;
    std::size_t pos = 0;
    while (pos < Data.size()) {
        std::array<bool, 256> seen{};
        unsigned distinct = 0;
        std::vector<std::uint8_t> block;
        while (pos < Data.size() && block.size() < Options.BlockSize) {
            const std::uint8_t b = Data[pos];
            if (!seen[b] && distinct == Options.MaxChars)
                break;
            distinct += !seen[b];
            seen[b] = true;
            block.push_back(b);
            ++pos;
        }
        std::uint8_t left[256], right[256] = {};
        for (unsigned c = 0; c < 256; ++c)
            left[c] = static_cast<std::uint8_t>(c);
        PackBlock(block, left, right, Options.MinPairs);
        const std::vector<std::uint8_t> table = EncodePairTable(left, right);
        out.insert(out.end(), table.begin(), table.end());
        PutLe32(out, static_cast<std::uint32_t>(block.size()));
        out.insert(out.end(), block.begin(), block.end());
    }
    return out;
}

} // namespace dddd::test
