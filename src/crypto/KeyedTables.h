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

    // Enciphers (left, right) in place, halves exchanged as the block stores them.
    [[gnu::always_inline]] void Encipher(std::uint32_t& left, std::uint32_t& right) const noexcept {
        std::uint32_t l = left, r = right;
        for (std::size_t k = 0; k < 8; ++k) {
            const auto& round = rounds[k];
            const std::uint32_t next = MixRound(l, r, [&round](std::size_t t, std::uint32_t v) { return round[t][v]; });
            l = r;
            r = next;
        }
        left = r;
        right = l;
    }
};

// Inputs at least this long are worth building the tables for.
inline constexpr std::uint32_t kKeyedTablesThreshold = 64 * 1024;

} // namespace ih::crypto
