/* The public header compiled as C, as other components include it. */
#include "crypto/Kxa.h"

#include <string.h>

int KxaUsableFromC(void) {
    KxaContext context;
    KxmaaContext checksum;
    uint8_t key[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    uint8_t data[8] = {'C', ' ', 'c', 'a', 'l', 'l', 'e', 'r'};
    uint8_t copy[8];
    memcpy(copy, data, sizeof copy);
    kxa_init(&context, key);
    kxa_cbcenc(&context, data);
    kxa_cbcenc(&context, NULL);
    kxa_cbcdec(&context, data);
    kxmaa_init(&checksum, key);
    kxmaa_buffer(&checksum, copy, 8);
    return sizeof(KxaContext) == 48 && sizeof(KxmaaContext) == 49 && memcmp(data, copy, 8) == 0 &&
           kxmaa_finalise32(&checksum) != 0;
}
