#pragma once
// Per-key round tables for long inputs: entry v of table t of round k is the
// mixed output of substitution table t for input v XOR round key byte t of
// round k, so a round is four look-ups and XORs with no key work at all.
// Building them costs about as much as checksumming 4 KiB, so they pay off
// only for long inputs; 32 KiB, owned by the caller (usually on its stack).

#include "crypto/CipherRounds.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace ih::crypto {

struct KeyedTables {
    std::array<std::array<std::array<std::uint32_t, 256>, 4>, 8> rounds;

    explicit KeyedTables(const KxaContext& context) noexcept {
        const std::uint8_t* const keys[4] = {context.roundKey0, context.roundKey1, context.roundKey2, context.roundKey3};
        for (std::size_t k = 0; k < 8; ++k)
            for (std::size_t t = 0; t < 4; ++t)
                for (std::size_t v = 0; v < 256; ++v) rounds[k][t][v] = kMixTables[t][v ^ keys[t][k]];
    }

    [[gnu::always_inline]] std::uint32_t Round(std::size_t k, std::uint32_t right) const noexcept {
        const auto& r = rounds[k];
        return (r[0][right & 0xFFu] ^ r[1][(right >> 8) & 0xFFu]) ^ (r[2][(right >> 16) & 0xFFu] ^ r[3][right >> 24]);
    }

    // Enciphers (left, right) in place, halves exchanged as the block stores them.
    [[gnu::always_inline]] void Encipher(std::uint32_t& left, std::uint32_t& right) const noexcept {
        std::uint32_t l = left, r = right;
        for (std::size_t k = 0; k < 8; ++k) {
            const auto& t = rounds[k];
            // The left half is known long before the look-ups: folding it into
            // the first pair and combining the pairs as a tree keeps two XORs,
            // not four, after the look-ups on the path from one round to the
            // next. The empty statements stop the compiler from turning the
            // tree back into a chain.
            std::uint32_t low = l ^ t[0][r & 0xFFu] ^ t[1][(r >> 8) & 0xFFu];
            std::uint32_t high = t[3][r >> 24] ^ t[2][(r >> 16) & 0xFFu];
            asm("" : "+r"(low));
            asm("" : "+r"(high));
            l = r;
            r = low ^ high;
        }
        left = r;
        right = l;
    }
};

// Inputs at least this long are worth building the tables for.
inline constexpr std::uint32_t kKeyedTablesThreshold = 64 * 1024;

} // namespace ih::crypto
