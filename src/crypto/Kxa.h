#pragma once
/* The exported 64-bit block cipher (kxa_) and the keyed checksum built on it
 * (kxmaa_). Contexts are owned by the caller, byte-packed, and never hold
 * pointers, so any component built with any compiler can share them. The
 * functions never allocate and never fail. C calling convention, undecorated
 * names; usable from C and C++. */

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32) && !defined(_WIN64)
#define KXA_CALL __cdecl
#else
#define KXA_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* 48 bytes. `block` bytes 0-3 are the left half, 4-7 the right half. */
typedef struct KxaContext {
    uint8_t chain[8];     /* chaining value: zero after kxa_init, then the last ciphertext block */
    uint8_t block[8];     /* the block being processed */
    uint8_t roundKey0[8]; /* one key byte per round, used with substitution table 0 */
    uint8_t roundKey1[8];
    uint8_t roundKey2[8];
    uint8_t roundKey3[8];
} KxaContext;

/* 49 bytes. `cipher.block` is the running value; `cipher.chain` is unused. */
typedef struct KxmaaContext {
    uint8_t pending; /* bytes XORed into the running block since it was last enciphered, 0-7 */
    KxaContext cipher;
} KxmaaContext;

/* Builds the round keys from the 8-byte key; leaves chain and block alone. Returns 0. */
int KXA_CALL kxa_setk(KxaContext* context, const uint8_t* key);
/* kxa_setk, then a zero chain. Returns 0. */
int KXA_CALL kxa_init(KxaContext* context, const uint8_t* key);
/* Enciphers (direction 0) or deciphers (direction 1) `block` in place. Returns 0. */
int KXA_CALL kxa_crypt(KxaContext* context, int direction);
/* Chaining mode on the 8 bytes at `data`, in place; a null `data` only zeroes the chain. Return 0. */
int KXA_CALL kxa_cbcenc(KxaContext* context, uint8_t* data);
int KXA_CALL kxa_cbcdec(KxaContext* context, uint8_t* data);
/* No key is weak: always 0. */
int KXA_CALL kxa_isweak(const uint8_t* key);
/* Zeroes all 48 bytes of the context. Returns 0. */
int KXA_CALL kxa_sanitise(KxaContext* context);

/* Zero running block, nothing pending, round keys from the 8-byte key. Returns 0. */
int KXA_CALL kxmaa_init(KxmaaContext* context, const uint8_t* key);
/* Adds one byte; every eighth byte enciphers the running block. Returns 0. */
int KXA_CALL kxmaa_byte(KxmaaContext* context, uint8_t value);
/* Adds `length` bytes exactly as kxmaa_byte does one by one. Returns 0. */
int KXA_CALL kxmaa_buffer(KxmaaContext* context, const uint8_t* data, uint32_t length);
/* Enciphers a partial group first (without clearing `pending`); returns block bytes 4-7, little-endian. */
uint32_t KXA_CALL kxmaa_finalise32(KxmaaContext* context);
/* result[0] = block bytes 0-3, result[1] = bytes 4-7, little-endian; nothing enciphered. Returns 0. */
int KXA_CALL kxmaa_finalise64(KxmaaContext* context, uint32_t* result);
/* Enciphers the running block three times, then as kxmaa_finalise64. Returns 0. */
int KXA_CALL kxmaa_finalise2(KxmaaContext* context, uint32_t* result);

#ifdef __cplusplus
} /* extern "C" */

static_assert(sizeof(KxaContext) == 48 && alignof(KxaContext) == 1, "the cipher context is 48 packed bytes");
static_assert(offsetof(KxaContext, chain) == 0 && offsetof(KxaContext, block) == 8 &&
                  offsetof(KxaContext, roundKey0) == 16 && offsetof(KxaContext, roundKey1) == 24 &&
                  offsetof(KxaContext, roundKey2) == 32 && offsetof(KxaContext, roundKey3) == 40,
              "cipher context field offsets");
static_assert(sizeof(KxmaaContext) == 49 && alignof(KxmaaContext) == 1, "the checksum context is 49 packed bytes");
static_assert(offsetof(KxmaaContext, pending) == 0 && offsetof(KxmaaContext, cipher) == 1,
              "checksum context field offsets");
#endif
