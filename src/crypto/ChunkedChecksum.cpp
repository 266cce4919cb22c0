#include "crypto/ChunkedChecksum.h"

#include "crypto/Kxa.h"

namespace ih::crypto {

std::optional<std::uint32_t> ChecksumChunks(ChecksumSource& source) {
    KxmaaContext context;
    kxmaa_init(&context, kFileChecksumKey);
    // One buffer for the whole file: nothing is allocated per chunk.
    std::uint8_t chunk[kFileChecksumChunk];
    for (;;) {
        std::uint32_t read = 0;
        if (!source.Read(chunk, sizeof chunk, read)) return std::nullopt;
        if (read == 0) break;
        kxmaa_buffer(&context, chunk, read);
    }
    return kxmaa_finalise32(&context);
}

} // namespace ih::crypto
