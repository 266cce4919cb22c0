#pragma once
// One access-control entry, with its binary form in the platform's published
// layout (ACCESS_ALLOWED_ACE and its denied and object forms). Portable.

#include "security/Sid.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace ih::security {

inline constexpr std::uint8_t kAccessAllowedAceType = 0;
inline constexpr std::uint8_t kAccessDeniedAceType = 1;
inline constexpr std::uint8_t kAccessAllowedObjectAceType = 5;
inline constexpr std::uint8_t kAccessDeniedObjectAceType = 6;

inline constexpr std::uint8_t kObjectInheritAce = 0x01;
inline constexpr std::uint8_t kContainerInheritAce = 0x02;
inline constexpr std::uint8_t kInheritedAce = 0x10;

using Guid = std::array<std::uint8_t, 16>;

struct Ace {
    Sid trustee;
    std::uint32_t accessMask = 0;
    std::uint8_t flags = 0;
    bool allowed = true;
    // Present only in object entries, which arise only from lists read back.
    std::optional<Guid> objectType;
    std::optional<Guid> inheritedObjectType;
    bool isObject = false;

    std::uint8_t Type() const noexcept;
    std::size_t BinaryLength() const noexcept;
    // Appends the entry's bytes to the buffer.
    void AppendBinary(std::vector<std::uint8_t>& buffer) const;
};

} // namespace ih::security
