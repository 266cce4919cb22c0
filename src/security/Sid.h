#pragma once
// One account or group identifier: a private copy of its binary SID (the
// platform's published layout) and, when it came from an account look-up, what
// the look-up said about it. Portable: built and read without the platform.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace ih::security {

// SID_NAME_USE values the model itself gives.
inline constexpr std::int32_t kSidTypeInvalid = 7; // an empty Sid
inline constexpr std::int32_t kSidTypeUnknown = 8; // built from bytes or an authority

inline constexpr std::size_t kMaxSubAuthorities = 15; // SID_MAX_SUB_AUTHORITIES
inline constexpr std::uint8_t kSidRevision = 1;

enum class WellKnownSid {
    Everyone,           // S-1-1-0
    InteractiveUsers,   // S-1-5-4
    AuthenticatedUsers, // S-1-5-11
    LocalSystem,        // S-1-5-18
    Administrators,     // S-1-5-32-544
    Users,              // S-1-5-32-545
    PowerUsers,         // S-1-5-32-547
};

// What an account look-up found out about an identifier.
struct SidAccount {
    std::int32_t nameUse = kSidTypeUnknown;
    std::wstring accountName;
    std::wstring domainName;
    std::wstring systemName;
};

class Sid {
public:
    Sid() = default; // empty: no binary SID, name use 7

    // Identifier authority (48 bits) and 1 to 15 sub-authorities; anything
    // else raises E_INVALIDARG.
    static Sid FromAuthority(std::uint64_t authority, std::span<const std::uint32_t> subAuthorities);
    static Sid FromWellKnown(WellKnownSid which);
    // The SID at the start of the bytes (trailing bytes are ignored); raises
    // E_INVALIDARG unless it is valid and lies wholly inside them.
    static Sid FromBinary(std::span<const std::uint8_t> bytes);

    // The SID and the look-up's findings together.
    Sid(Sid identifier, SidAccount account);

    bool IsEmpty() const noexcept { return bytes_.empty(); }
    bool IsValid() const noexcept { return IsValidBinarySid(bytes_); }
    std::size_t Length() const noexcept { return bytes_.size(); }
    std::span<const std::uint8_t> Binary() const noexcept { return bytes_; }

    std::uint64_t Authority() const noexcept;
    std::uint8_t SubAuthorityCount() const noexcept;
    std::uint32_t SubAuthority(std::size_t index) const; // E_INVALIDARG past the end

    // S-1-5-32-544 notation (authorities of 2^32 and more in hexadecimal, as
    // the platform writes them); empty for an empty Sid.
    std::wstring StringForm() const;

    std::int32_t NameUse() const noexcept { return nameUse_; }
    const std::wstring& AccountName() const noexcept { return account_.accountName; }
    const std::wstring& DomainName() const noexcept { return account_.domainName; }
    const std::wstring& SystemName() const noexcept { return account_.systemName; }
    // Records a look-up's findings (the local account name found later, say).
    void SetAccount(SidAccount account);

    // The same identifier: equal binary SIDs.
    friend bool operator==(const Sid& left, const Sid& right) noexcept { return left.bytes_ == right.bytes_; }

    // What the platform's IsValidSid checks (revision 1, at most 15
    // sub-authorities), plus that the whole SID lies inside the bytes.
    static bool IsValidBinarySid(std::span<const std::uint8_t> bytes) noexcept;
    // 8 + 4 per sub-authority, from a SID's header; 0 when the header is cut short.
    static std::size_t BinaryLength(std::span<const std::uint8_t> bytes) noexcept;

private:
    std::vector<std::uint8_t> bytes_;
    std::int32_t nameUse_ = kSidTypeInvalid;
    SidAccount account_;
};

} // namespace ih::security
