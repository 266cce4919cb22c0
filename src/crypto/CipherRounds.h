#pragma once
// The cipher's Feistel rounds on 32-bit halves. A half's byte i is bits
// 8i..8i+7 of its word, whatever the machine's byte order. Each substitution
// table is widened once, at compile time, to a 32-bit table that already
// places its output's two nibbles where the nibble mixing puts them, so a
// round is one key XOR, four look-ups and four XORs.

#include "crypto/Kxa.h"
#include "crypto/SubstitutionTables.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace ih::crypto {

using MixTables = std::array<std::array<std::uint32_t, 256>, 4>;

// Mixing: G0 = low(s2)|high(s3), G1 = low(s3)|high(s0), G2 = low(s0)|high(s1),
// G3 = low(s1)|high(s2). Table t holds s_t's nibbles at their places in G.
consteval MixTables BuildMixTables() {
    MixTables tables{};
    for (std::uint32_t v = 0; v < 256; ++v) {
        const std::uint32_t s0 = kSubstitutionTables[v], s1 = kSubstitutionTables[256 + v];
        const std::uint32_t s2 = kSubstitutionTables[512 + v], s3 = kSubstitutionTables[768 + v];
        tables[0][v] = ((s0 & 0xF0u) << 8) | ((s0 & 0x0Fu) << 16);
        tables[1][v] = ((s1 & 0xF0u) << 16) | ((s1 & 0x0Fu) << 24);
        tables[2][v] = (s2 & 0x0Fu) | ((s2 & 0xF0u) << 24);
        tables[3][v] = (s3 & 0xF0u) | ((s3 & 0x0Fu) << 8);
    }
    return tables;
}

inline constexpr MixTables kMixTables = BuildMixTables();

using RoundKeys = std::array<std::uint32_t, 8>;

inline std::uint32_t LoadWord(const std::uint8_t* bytes) noexcept {
    return std::uint32_t{bytes[0]} | (std::uint32_t{bytes[1]} << 8) | (std::uint32_t{bytes[2]} << 16) |
           (std::uint32_t{bytes[3]} << 24);
}

inline void StoreWord(std::uint8_t* bytes, std::uint32_t word) noexcept {
    bytes[0] = static_cast<std::uint8_t>(word);
    bytes[1] = static_cast<std::uint8_t>(word >> 8);
    bytes[2] = static_cast<std::uint8_t>(word >> 16);
    bytes[3] = static_cast<std::uint8_t>(word >> 24);
}

// Round k's four key bytes as one word, byte t for table t.
inline RoundKeys RoundKeyWords(const KxaContext& context) noexcept {
    RoundKeys keys{};
    for (std::size_t k = 0; k < 8; ++k) {
        keys[k] = context.roundKey0[k] | (std::uint32_t{context.roundKey1[k]} << 8) |
                  (std::uint32_t{context.roundKey2[k]} << 16) | (std::uint32_t{context.roundKey3[k]} << 24);
    }
    return keys;
}

// One round's new right half: the old left half XOR the mixed substitution of
// the old right half under round key `roundKey`. The left half is known long
// before the look-ups, so it joins the first pair, and the pairs are combined
// as a tree: two XORs, not four, follow the look-ups on the path from one
// round to the next. The empty statements stop the compiler from turning the
// tree back into a chain (measured: about 14% slower).
template <typename Lookup>
[[gnu::always_inline]] inline std::uint32_t MixRound(std::uint32_t left, std::uint32_t x,
                                                     const Lookup& table) noexcept {
    std::uint32_t low = left ^ table(0, x & 0xFFu) ^ table(1, (x >> 8) & 0xFFu);
    std::uint32_t high = table(3, x >> 24) ^ table(2, (x >> 16) & 0xFFu);
    asm("" : "+r"(low));
    asm("" : "+r"(high));
    return low ^ high;
}

// Eight rounds on (left, right), keys in order (encipher) or reversed
// (decipher); leaves the halves exchanged once more, as the block stores them.
[[gnu::always_inline]] inline void Rounds(std::uint32_t& left, std::uint32_t& right, const RoundKeys& keys,
                                          bool decipher) noexcept {
    const auto mixTable = [](std::size_t t, std::uint32_t v) { return kMixTables[t][v]; };
    std::uint32_t l = left, r = right;
    for (std::size_t j = 0; j < 8; ++j) {
        const std::uint32_t next = MixRound(l, r ^ keys[decipher ? 7 - j : j], mixTable);
        l = r;
        r = next;
    }
    left = r;
    right = l;
}

inline void CryptBlock(KxaContext& context, bool decipher) noexcept {
    std::uint32_t left = LoadWord(context.block), right = LoadWord(context.block + 4);
    Rounds(left, right, RoundKeyWords(context), decipher);
    StoreWord(context.block, left);
    StoreWord(context.block + 4, right);
}

} // namespace ih::crypto
