#include "security/DescriptorLayout.h"

#include "security/Dacl.h"
#include "security/LittleEndian.h"
#include "security/Sid.h"

namespace ih::security {

namespace {

constexpr std::size_t kRelativeHeaderLength = 20; // revision, sbz1, control, four offsets

bool SidFits(std::span<const std::uint8_t> bytes, std::uint32_t offset) noexcept {
    return offset == 0 || (offset < bytes.size() && Sid::IsValidBinarySid(bytes.subspan(offset)));
}

bool AclFits(std::span<const std::uint8_t> bytes, std::uint32_t offset) noexcept {
    if (offset == 0) return true;
    if (offset >= bytes.size() || bytes.size() - offset < kAclHeaderLength) return false;
    const std::size_t aclSize = ReadLittleEndian16(bytes.data() + offset + 2);
    return aclSize >= kAclHeaderLength && aclSize <= bytes.size() - offset;
}

} // namespace

bool IsWholeSelfRelativeDescriptor(std::span<const std::uint8_t> bytes) noexcept {
    if (bytes.size() < kRelativeHeaderLength || bytes[0] != 1) return false;
    const auto control = static_cast<std::uint16_t>(bytes[2] | bytes[3] << 8);
    if ((control & kSeSelfRelative) == 0) return false;
    const std::uint32_t owner = ReadLittleEndian32(bytes.data() + 4);
    const std::uint32_t group = ReadLittleEndian32(bytes.data() + 8);
    const std::uint32_t sacl = ReadLittleEndian32(bytes.data() + 12);
    const std::uint32_t dacl = ReadLittleEndian32(bytes.data() + 16);
    return SidFits(bytes, owner) && SidFits(bytes, group) &&
           ((control & kSeSaclPresent) == 0 || AclFits(bytes, sacl)) &&
           ((control & kSeDaclPresent) == 0 || AclFits(bytes, dacl));
}

} // namespace ih::security
