#pragma once
// The HRESULT form of a platform error, as internal operations pass it upward.

#include <cstdint>

namespace ih {

inline constexpr std::int32_t HResultFromWin32(std::int32_t error) noexcept {
    return error > 0 ? static_cast<std::int32_t>((static_cast<std::uint32_t>(error) & 0xFFFFu) | 0x80070000u) : error;
}

} // namespace ih
