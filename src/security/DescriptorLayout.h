#pragma once
// The self-relative security descriptor's published layout, checked without
// the platform before the platform is given the bytes. Portable.

#include <cstdint>
#include <span>

namespace ih::security {

inline constexpr std::uint16_t kSeDaclPresent = 0x0004;
inline constexpr std::uint16_t kSeSaclPresent = 0x0010;
inline constexpr std::uint16_t kSeSelfRelative = 0x8000;

// Whether the bytes hold a whole self-relative descriptor: revision 1, the
// self-relative control bit, and every SID and ACL it points at valid and
// inside the bytes.
bool IsWholeSelfRelativeDescriptor(std::span<const std::uint8_t> bytes) noexcept;

} // namespace ih::security
