#pragma once
// The cipher and checksum written the plain way, byte by byte as they are
// described, with nothing precomputed: the oracle the optimised library code
// is compared with, and the baseline of the checksum benchmark.

#include "crypto/SubstitutionTables.h"

#include <cstdint>
#include <cstring>

namespace ih::reference {

struct Cipher {
    std::uint8_t roundKey[4][8];
    std::uint8_t block[8];
};

inline void SetKey(Cipher& c, const std::uint8_t key[8]) {
    static constexpr int kSelection[4][8] = {
        {5, 7, 6, 0, 4, 2, 3, 1}, {1, 2, 3, 4, 6, 7, 5, 0}, {6, 1, 0, 2, 7, 5, 4, 3}, {4, 3, 7, 5, 1, 0, 2, 6}};
    for (int j = 0; j < 4; ++j)
        for (int r = 0; r < 8; ++r) c.roundKey[j][r] = key[kSelection[j][r]];
}

inline std::uint8_t Low(std::uint8_t x) { return x & 0x0F; }
inline std::uint8_t High(std::uint8_t x) { return x & 0xF0; }

inline void Crypt(Cipher& c, int direction) {
    const unsigned char* table = crypto::kSubstitutionTables;
    std::uint8_t L[4], R[4];
    std::memcpy(L, c.block, 4);
    std::memcpy(R, c.block + 4, 4);
    for (int j = 0; j < 8; ++j) {
        const int k = direction == 0 ? j : 7 - j;
        const std::uint8_t s0 = table[R[0] ^ c.roundKey[0][k]];
        const std::uint8_t s1 = table[256 + (R[1] ^ c.roundKey[1][k])];
        const std::uint8_t s2 = table[512 + (R[2] ^ c.roundKey[2][k])];
        const std::uint8_t s3 = table[768 + (R[3] ^ c.roundKey[3][k])];
        const std::uint8_t G[4] = {
            static_cast<std::uint8_t>(Low(s2) | High(s3)), static_cast<std::uint8_t>(Low(s3) | High(s0)),
            static_cast<std::uint8_t>(Low(s0) | High(s1)), static_cast<std::uint8_t>(Low(s1) | High(s2))};
        std::uint8_t newR[4];
        for (int i = 0; i < 4; ++i) newR[i] = static_cast<std::uint8_t>(L[i] ^ G[i]);
        std::memcpy(L, R, 4);
        std::memcpy(R, newR, 4);
    }
    std::memcpy(c.block, R, 4);
    std::memcpy(c.block + 4, L, 4);
}

struct Checksum {
    Cipher cipher;
    unsigned pending;
};

inline void Init(Checksum& m, const std::uint8_t key[8]) {
    std::memset(m.cipher.block, 0, 8);
    m.pending = 0;
    SetKey(m.cipher, key);
}

inline void AddByte(Checksum& m, std::uint8_t value) {
    m.cipher.block[m.pending] ^= value;
    if (++m.pending > 7) {
        m.pending = 0;
        Crypt(m.cipher, 0);
    }
}

inline std::uint32_t Finalise32(Checksum& m) {
    if (m.pending > 0) Crypt(m.cipher, 0);
    return std::uint32_t{m.cipher.block[4]} | (std::uint32_t{m.cipher.block[5]} << 8) |
           (std::uint32_t{m.cipher.block[6]} << 16) | (std::uint32_t{m.cipher.block[7]} << 24);
}

} // namespace ih::reference
