#pragma once
// The file checksum's loop over a stream of bytes: the keyed checksum of
// everything a source gives, read in fixed chunks through one buffer. The
// library reads files with Windows calls; the authoring tools read them with
// the C library on Linux. Both go through this loop, so both get one value.

#include <cstdint>
#include <optional>

namespace ih::crypto {

// The checksum's fixed key: "4739105" and its terminating zero.
inline constexpr std::uint8_t kFileChecksumKey[8] = {'4', '7', '3', '9', '1', '0', '5', 0};
inline constexpr std::uint32_t kFileChecksumChunk = 8192;

// Where the bytes come from, one chunk at a time.
class ChecksumSource {
public:
    // Puts up to `capacity` bytes into `chunk` and sets `read` (0 at the end);
    // false when the read failed.
    virtual bool Read(std::uint8_t* chunk, std::uint32_t capacity, std::uint32_t& read) = 0;

protected:
    ~ChecksumSource() = default;
};

// Reads the source until a read fails or gives no bytes; the checksum of all
// it gave, or nothing when a read failed.
std::optional<std::uint32_t> ChecksumChunks(ChecksumSource& source);

} // namespace ih::crypto
