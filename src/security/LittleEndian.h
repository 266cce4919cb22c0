#pragma once
// Reading the little-endian fields of the platform's binary security layouts.

#include <cstdint>

namespace ih::security {

inline std::uint16_t ReadLittleEndian16(const std::uint8_t* bytes) noexcept {
    return static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
}

inline std::uint32_t ReadLittleEndian32(const std::uint8_t* bytes) noexcept {
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

} // namespace ih::security
