// The kxa block cipher: key schedule, block function, chaining modes.

#include "crypto/CipherRounds.h"
#include "crypto/Kxa.h"

#include <cstring>

namespace {

// Key byte positions feeding each round-key array, rounds 0 to 7.
constexpr std::uint8_t kKeySelection[4][8] = {
    {5, 7, 6, 0, 4, 2, 3, 1},
    {1, 2, 3, 4, 6, 7, 5, 0},
    {6, 1, 0, 2, 7, 5, 4, 3},
    {4, 3, 7, 5, 1, 0, 2, 6},
};

} // namespace

extern "C" int KXA_CALL kxa_setk(KxaContext* context, const uint8_t* key) {
    std::uint8_t* const arrays[4] = {context->roundKey0, context->roundKey1, context->roundKey2, context->roundKey3};
    for (int j = 0; j < 4; ++j) {
        for (int r = 0; r < 8; ++r) arrays[j][r] = key[kKeySelection[j][r]];
    }
    return 0;
}

extern "C" int KXA_CALL kxa_init(KxaContext* context, const uint8_t* key) {
    kxa_setk(context, key);
    std::memset(context->chain, 0, sizeof context->chain);
    return 0;
}

extern "C" int KXA_CALL kxa_crypt(KxaContext* context, int direction) {
    ih::crypto::CryptBlock(*context, direction != 0);
    return 0;
}

extern "C" int KXA_CALL kxa_cbcenc(KxaContext* context, uint8_t* data) {
    if (!data) {
        std::memset(context->chain, 0, sizeof context->chain);
        return 0;
    }
    for (int i = 0; i < 8; ++i) context->block[i] = static_cast<std::uint8_t>(data[i] ^ context->chain[i]);
    ih::crypto::CryptBlock(*context, false);
    std::memcpy(context->chain, context->block, 8);
    std::memcpy(data, context->block, 8);
    return 0;
}

extern "C" int KXA_CALL kxa_cbcdec(KxaContext* context, uint8_t* data) {
    if (!data) {
        std::memset(context->chain, 0, sizeof context->chain);
        return 0;
    }
    std::memcpy(context->block, data, 8);
    ih::crypto::CryptBlock(*context, true);
    for (int i = 0; i < 8; ++i) context->block[i] = static_cast<std::uint8_t>(context->block[i] ^ context->chain[i]);
    std::memcpy(context->chain, data, 8);
    std::memcpy(data, context->block, 8);
    return 0;
}

extern "C" int KXA_CALL kxa_isweak(const uint8_t* /*key*/) { return 0; }

extern "C" int KXA_CALL kxa_sanitise(KxaContext* context) {
    // Through a volatile pointer, so the wipe of a context about to go out of
    // scope is not optimised away.
    volatile std::uint8_t* bytes = reinterpret_cast<volatile std::uint8_t*>(context);
    for (std::size_t i = 0; i < sizeof(KxaContext); ++i) bytes[i] = 0;
    return 0;
}
