#include "crypto/Kxa.h"
#include "crypto/SubstitutionTables.h"
#include "reference/KxaReference.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <random>
#include <set>
#include <vector>

extern "C" int KxaUsableFromC(void);

namespace {

using Block = std::array<std::uint8_t, 8>;

Block RandomBlock(std::mt19937& random) {
    Block block;
    for (auto& b : block) b = static_cast<std::uint8_t>(random());
    return block;
}

Block Encipher(const Block& key, const Block& plain, int direction = 0) {
    KxaContext context;
    kxa_init(&context, key.data());
    std::memcpy(context.block, plain.data(), 8);
    kxa_crypt(&context, direction);
    Block out;
    std::memcpy(out.data(), context.block, 8);
    return out;
}

TEST(SubstitutionTables, ArePermutationsWithTheFixedEnds) {
    const std::uint8_t ends[4][16] = {
        {0x38, 0x4B, 0xA6, 0x87, 0x19, 0x73, 0x68, 0x51, 0x11, 0x07, 0x14, 0x8A, 0x96, 0xBD, 0x0F, 0x9B},
        {0xB2, 0xC8, 0x3E, 0xA8, 0x14, 0xD4, 0x54, 0x40, 0x8E, 0x46, 0xF5, 0x4A, 0x2D, 0x15, 0x04, 0xC0},
        {0x31, 0x7A, 0x09, 0xC1, 0x12, 0xEC, 0xA8, 0x6B, 0xE3, 0x6A, 0x4B, 0xDB, 0xF7, 0xA0, 0x2E, 0xDA},
        {0x90, 0x1A, 0xA3, 0x4F, 0x40, 0xA8, 0x1C, 0x9F, 0x42, 0xC1, 0x6E, 0x3C, 0x25, 0xF3, 0xD2, 0x94},
    };
    for (std::size_t t = 0; t < 4; ++t) {
        SCOPED_TRACE(t);
        const unsigned char* table = ih::crypto::kSubstitutionTables + 256 * t;
        EXPECT_EQ(std::set<int>(table, table + 256).size(), 256u);
        for (int i = 0; i < 8; ++i) {
            EXPECT_EQ(table[i], ends[t][i]) << "entry " << i;
            EXPECT_EQ(table[248 + i], ends[t][8 + i]) << "entry " << 248 + i;
        }
    }
}

TEST(Cipher, KeyScheduleSelectsKeyBytesAndTouchesNothingElse) {
    KxaContext context;
    std::memset(&context, 0xAA, sizeof context);
    const std::uint8_t key[8] = {0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17};
    EXPECT_EQ(kxa_setk(&context, key), 0);
    const std::uint8_t expected[4][8] = {{0x15, 0x17, 0x16, 0x10, 0x14, 0x12, 0x13, 0x11},
                                         {0x11, 0x12, 0x13, 0x14, 0x16, 0x17, 0x15, 0x10},
                                         {0x16, 0x11, 0x10, 0x12, 0x17, 0x15, 0x14, 0x13},
                                         {0x14, 0x13, 0x17, 0x15, 0x11, 0x10, 0x12, 0x16}};
    EXPECT_EQ(std::memcmp(context.roundKey0, expected[0], 8), 0);
    EXPECT_EQ(std::memcmp(context.roundKey1, expected[1], 8), 0);
    EXPECT_EQ(std::memcmp(context.roundKey2, expected[2], 8), 0);
    EXPECT_EQ(std::memcmp(context.roundKey3, expected[3], 8), 0);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(context.chain[i] & context.block[i], 0xAA) << "chain and block untouched";

    const std::uint8_t zero[8] = {};
    EXPECT_EQ(kxa_init(&context, zero), 0);
    for (std::size_t i = 16; i < 48; ++i) EXPECT_EQ(reinterpret_cast<const std::uint8_t*>(&context)[i], 0) << i;
    for (const std::uint8_t byte : context.chain) EXPECT_EQ(byte, 0) << "kxa_init zeroes the chain";
    EXPECT_EQ(kxa_isweak(zero), 0);
    EXPECT_EQ(kxa_isweak(key), 0);
}

// Pinned once from this implementation: any change to the tables, the schedule
// or the rounds would break every checksum recorded on customer machines.
TEST(Cipher, KnownAnswers) {
    struct Vector {
        Block key, plain, cipher;
    } const vectors[] = {
        {{}, {}, {0x0C, 0xD9, 0x09, 0x6E, 0x1B, 0xF6, 0x98, 0xDF}},
        {{0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF},
         {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77},
         {0x18, 0x19, 0x7E, 0xB5, 0x1A, 0x34, 0xD4, 0xF0}},
        {{'4', '7', '3', '9', '1', '0', '5', 0},
         {'K', 'e', 's', 't', 'r', 'o', '!', '\n'},
         {0xBB, 0x39, 0x1A, 0x32, 0x6C, 0x59, 0xEF, 0xA0}},
    };
    for (const auto& v : vectors) {
        EXPECT_EQ(Encipher(v.key, v.plain, 0), v.cipher);
        EXPECT_EQ(Encipher(v.key, v.cipher, 1), v.plain);
    }
}

TEST(Cipher, AgreesWithTheByteWiseFormAndRoundTripsForManyKeys) {
    std::mt19937 random(20261210);
    for (int n = 0; n < 5000; ++n) {
        const Block key = RandomBlock(random), plain = RandomBlock(random);
        ih::reference::Cipher reference;
        ih::reference::SetKey(reference, key.data());
        std::memcpy(reference.block, plain.data(), 8);
        ih::reference::Crypt(reference, 0);
        const Block cipher = Encipher(key, plain, 0);
        ASSERT_EQ(std::memcmp(cipher.data(), reference.block, 8), 0) << "case " << n;
        ASSERT_NE(cipher, plain);
        ASSERT_EQ(Encipher(key, cipher, 1), plain) << "case " << n;
        ASSERT_EQ(Encipher(key, Encipher(key, plain, 1), 0), plain) << "either direction undoes the other";
    }
}

TEST(Cipher, ChainingCarriesTheLastCiphertextForward) {
    const Block key = {9, 8, 7, 6, 5, 4, 3, 2};
    const Block plain = {'s', 'a', 'm', 'e', 'b', 'l', 'o', 'k'};
    KxaContext context;
    kxa_init(&context, key.data());
    Block first = plain, second = plain;
    EXPECT_EQ(kxa_cbcenc(&context, first.data()), 0);
    kxa_cbcenc(&context, second.data());
    EXPECT_EQ(first, Encipher(key, plain));
    Block mixed;
    for (int i = 0; i < 8; ++i) mixed[i] = static_cast<std::uint8_t>(plain[i] ^ first[i]);
    EXPECT_EQ(second, Encipher(key, mixed));
    EXPECT_EQ(std::memcmp(context.chain, second.data(), 8), 0);
}

TEST(Cipher, ChainedMessagesRoundTripForManyKeys) {
    std::mt19937 random(7);
    for (int n = 0; n < 200; ++n) {
        const Block key = RandomBlock(random);
        std::vector<Block> message(1 + random() % 16);
        for (auto& block : message) block = RandomBlock(random);
        message.push_back(message.front()); // a repeated block must not encipher alike

        KxaContext context;
        kxa_init(&context, key.data());
        std::vector<Block> sealed = message;
        for (auto& block : sealed) kxa_cbcenc(&context, block.data());
        ASSERT_NE(sealed.front(), sealed.back());

        kxa_cbcdec(&context, nullptr); // back to a zero chain without rekeying
        std::vector<Block> opened = sealed;
        for (auto& block : opened) kxa_cbcdec(&context, block.data());
        ASSERT_EQ(opened, message) << "case " << n;
        ASSERT_EQ(std::memcmp(context.chain, sealed.back().data(), 8), 0);
    }
}

TEST(Cipher, NullDataOnlyZeroesTheChain) {
    using Call = int (*)(KxaContext*, uint8_t*);
    for (const Call call : {Call{kxa_cbcenc}, Call{kxa_cbcdec}}) {
        KxaContext context;
        const std::uint8_t key[8] = {1, 2, 3, 4, 5, 6, 7, 8};
        kxa_init(&context, key);
        std::uint8_t data[8] = {0xFF, 1, 2, 3, 4, 5, 6, 7};
        kxa_cbcenc(&context, data);
        KxaContext before = context;
        EXPECT_EQ(call(&context, nullptr), 0);
        std::memset(before.chain, 0, 8);
        EXPECT_EQ(std::memcmp(&context, &before, sizeof context), 0);
    }
}

TEST(Cipher, SanitiseZeroesExactlyTheContext) {
    struct {
        std::uint8_t before[8];
        KxaContext context;
        std::uint8_t after[8];
    } guarded;
    std::memset(&guarded, 0x5C, sizeof guarded);
    EXPECT_EQ(kxa_sanitise(&guarded.context), 0);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&guarded.context);
    for (std::size_t i = 0; i < 48; ++i) EXPECT_EQ(bytes[i], 0) << i;
    for (int i = 0; i < 8; ++i) EXPECT_EQ(guarded.before[i] & guarded.after[i], 0x5C) << "neighbours untouched";
}

TEST(Cipher, HeaderServesCCallers) { EXPECT_EQ(KxaUsableFromC(), 1); }

} // namespace
