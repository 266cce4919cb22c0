// The kxmaa keyed checksum: the cipher in chaining mode from a zero start,
// each full group of eight input bytes XORed into the running block.

#include "crypto/CipherRounds.h"
#include "crypto/Kxa.h"

#include <cstring>

namespace {

void AddByte(KxmaaContext& context, std::uint8_t value) noexcept {
    // A caller's context holds 0-7 here; the mask keeps a corrupted one inside the block.
    context.cipher.block[context.pending & 7u] ^= value;
    if (++context.pending > 7) {
        context.pending = 0;
        ih::crypto::CryptBlock(context.cipher, false);
    }
}

} // namespace

extern "C" int KXA_CALL kxmaa_init(KxmaaContext* context, const uint8_t* key) {
    std::memset(context->cipher.block, 0, sizeof context->cipher.block);
    context->pending = 0;
    kxa_setk(&context->cipher, key);
    return 0;
}

extern "C" int KXA_CALL kxmaa_byte(KxmaaContext* context, uint8_t value) {
    AddByte(*context, value);
    return 0;
}

extern "C" int KXA_CALL kxmaa_buffer(KxmaaContext* context, const uint8_t* data, uint32_t length) {
    using namespace ih::crypto;
    while (length > 0 && context->pending != 0) {
        AddByte(*context, *data++);
        --length;
    }
    if (length >= 8) {
        // Whole groups: the running block stays in two words between groups.
        std::uint32_t left = LoadWord(context->cipher.block), right = LoadWord(context->cipher.block + 4);
        const RoundKeys keys = RoundKeyWords(context->cipher);
        for (; length >= 8; length -= 8, data += 8) {
            left ^= LoadWord(data);
            right ^= LoadWord(data + 4);
            Rounds(left, right, keys, false);
        }
        StoreWord(context->cipher.block, left);
        StoreWord(context->cipher.block + 4, right);
    }
    while (length-- > 0) AddByte(*context, *data++);
    return 0;
}

extern "C" uint32_t KXA_CALL kxmaa_finalise32(KxmaaContext* context) {
    if (context->pending > 0) ih::crypto::CryptBlock(context->cipher, false);
    return ih::crypto::LoadWord(context->cipher.block + 4);
}

extern "C" int KXA_CALL kxmaa_finalise64(KxmaaContext* context, uint32_t* result) {
    result[0] = ih::crypto::LoadWord(context->cipher.block);
    result[1] = ih::crypto::LoadWord(context->cipher.block + 4);
    return 0;
}

extern "C" int KXA_CALL kxmaa_finalise2(KxmaaContext* context, uint32_t* result) {
    for (int i = 0; i < 3; ++i) ih::crypto::CryptBlock(context->cipher, false);
    return kxmaa_finalise64(context, result);
}
