#include "security/Sid.h"

#include "security/LittleEndian.h"
#include "security/SecurityError.h"

#include <utility>

namespace ih::security {

namespace {

constexpr std::size_t kHeaderLength = 8; // revision, count, 6-byte authority
constexpr std::uint64_t kAuthorityLimit = std::uint64_t{1} << 48;

struct WellKnownEntry {
    std::uint64_t authority;
    std::uint32_t subAuthorities[2];
    std::size_t count;
};

constexpr WellKnownEntry WellKnownTableEntry(WellKnownSid which) noexcept {
    switch (which) {
    case WellKnownSid::Everyone: return {1, {0, 0}, 1};
    case WellKnownSid::InteractiveUsers: return {5, {4, 0}, 1};
    case WellKnownSid::AuthenticatedUsers: return {5, {11, 0}, 1};
    case WellKnownSid::LocalSystem: return {5, {18, 0}, 1};
    case WellKnownSid::Administrators: return {5, {32, 544}, 2};
    case WellKnownSid::Users: return {5, {32, 545}, 2};
    case WellKnownSid::PowerUsers: return {5, {32, 547}, 2};
    }
    return {0, {0, 0}, 0}; // not a member of the table: refused as an invalid argument
}

} // namespace

Sid Sid::FromAuthority(std::uint64_t authority, std::span<const std::uint32_t> subAuthorities) {
    if (subAuthorities.empty() || subAuthorities.size() > kMaxSubAuthorities || authority >= kAuthorityLimit) {
        throw SecurityError(kInvalidArgument, "an identifier needs 1 to 15 sub-authorities and a 48-bit authority");
    }
    Sid sid;
    sid.bytes_.reserve(kHeaderLength + 4 * subAuthorities.size());
    sid.bytes_.push_back(kSidRevision);
    sid.bytes_.push_back(static_cast<std::uint8_t>(subAuthorities.size()));
    for (int shift = 40; shift >= 0; shift -= 8) { // the authority is big-endian
        sid.bytes_.push_back(static_cast<std::uint8_t>(authority >> shift));
    }
    for (const std::uint32_t value : subAuthorities) { // sub-authorities are little-endian
        for (int shift = 0; shift < 32; shift += 8) sid.bytes_.push_back(static_cast<std::uint8_t>(value >> shift));
    }
    sid.nameUse_ = kSidTypeUnknown;
    return sid;
}

Sid Sid::FromWellKnown(WellKnownSid which) {
    const WellKnownEntry entry = WellKnownTableEntry(which);
    return FromAuthority(entry.authority, std::span<const std::uint32_t>(entry.subAuthorities, entry.count));
}

Sid Sid::FromBinary(std::span<const std::uint8_t> bytes) {
    if (!IsValidBinarySid(bytes)) throw SecurityError(kInvalidArgument, "not a valid binary identifier");
    Sid sid;
    sid.bytes_.assign(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(BinaryLength(bytes)));
    sid.nameUse_ = kSidTypeUnknown;
    return sid;
}

Sid::Sid(Sid identifier, SidAccount account) : Sid(std::move(identifier)) { SetAccount(std::move(account)); }

void Sid::SetAccount(SidAccount account) {
    nameUse_ = account.nameUse;
    account_ = std::move(account);
}

std::size_t Sid::BinaryLength(std::span<const std::uint8_t> bytes) noexcept {
    if (bytes.size() < kHeaderLength) return 0;
    return kHeaderLength + 4 * std::size_t{bytes[1]};
}

bool Sid::IsValidBinarySid(std::span<const std::uint8_t> bytes) noexcept {
    const std::size_t length = BinaryLength(bytes);
    return length != 0 && bytes[0] == kSidRevision && bytes[1] <= kMaxSubAuthorities && length <= bytes.size();
}

std::uint64_t Sid::Authority() const noexcept {
    if (bytes_.size() < kHeaderLength) return 0;
    std::uint64_t authority = 0;
    for (std::size_t i = 2; i < kHeaderLength; ++i) authority = authority << 8 | bytes_[i];
    return authority;
}

std::uint8_t Sid::SubAuthorityCount() const noexcept { return bytes_.size() < kHeaderLength ? 0 : bytes_[1]; }

std::uint32_t Sid::SubAuthority(std::size_t index) const {
    if (index >= SubAuthorityCount()) throw SecurityError(kInvalidArgument, "sub-authority index past the end");
    return ReadLittleEndian32(bytes_.data() + kHeaderLength + 4 * index);
}

std::wstring Sid::StringForm() const {
    if (!IsValid()) return {};
    std::wstring text = L"S-" + std::to_wstring(bytes_[0]) + L"-";
    const std::uint64_t authority = Authority();
    if (authority >> 32 != 0) {
        static constexpr wchar_t kDigits[] = L"0123456789abcdef";
        text += L"0x";
        for (std::size_t i = 2; i < kHeaderLength; ++i) {
            text.push_back(kDigits[bytes_[i] >> 4]);
            text.push_back(kDigits[bytes_[i] & 0xF]);
        }
    } else {
        text += std::to_wstring(authority);
    }
    for (std::size_t i = 0; i < SubAuthorityCount(); ++i) text += L"-" + std::to_wstring(SubAuthority(i));
    return text;
}

} // namespace ih::security
