#pragma once
// The keyed 32-bit checksum of a whole file, with which the script runner
// records and recognises installation scripts.

#include "crypto/ChunkedChecksum.h"

#include <cstdint>

namespace ih::crypto {

// Checksums the file's bytes, nothing else, reading it shared with readers
// only. True on success with `checksum` set (when given). On failure
// `errorCode` (when given) gets 13 for a null name, else the system's code of
// the failed open or read; `checksum` is then left alone, as `errorCode` is on
// success.
bool ComputeFileChecksum(const wchar_t* fileName, std::uint32_t* checksum, std::uint32_t* errorCode);

} // namespace ih::crypto
