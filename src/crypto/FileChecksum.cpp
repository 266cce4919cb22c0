#include "crypto/FileChecksum.h"

#include "crypto/Kxa.h"
#include "frame/Handles.h"

#include <windows.h>

namespace ih::crypto {

bool ComputeFileChecksum(const wchar_t* fileName, std::uint32_t* checksum, std::uint32_t* errorCode) {
    const auto fail = [errorCode](DWORD code) {
        if (errorCode) *errorCode = code;
        return false;
    };
    if (!fileName) return fail(ERROR_INVALID_DATA);

    const UniqueFileHandle file(::CreateFileW(fileName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return fail(::GetLastError());

    KxmaaContext context;
    kxmaa_init(&context, kFileChecksumKey);
    std::uint8_t chunk[kFileChecksumChunk];
    DWORD read = 0;
    for (;;) {
        if (!::ReadFile(file.get(), chunk, sizeof chunk, &read, nullptr)) return fail(::GetLastError());
        if (read == 0) break;
        kxmaa_buffer(&context, chunk, read);
    }
    if (checksum) *checksum = kxmaa_finalise32(&context);
    return true;
}

} // namespace ih::crypto
