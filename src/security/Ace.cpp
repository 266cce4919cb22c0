#include "security/Ace.h"

namespace ih::security {

namespace {

constexpr std::size_t kPlainHeaderLength = 8;   // type, flags, length, mask
constexpr std::size_t kObjectHeaderLength = 12; // and the presence word
constexpr std::uint32_t kObjectTypePresent = 0x1;
constexpr std::uint32_t kInheritedObjectTypePresent = 0x2;

void AppendLittleEndian(std::vector<std::uint8_t>& buffer, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) buffer.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

} // namespace

std::uint8_t Ace::Type() const noexcept {
    if (isObject) return allowed ? kAccessAllowedObjectAceType : kAccessDeniedObjectAceType;
    return allowed ? kAccessAllowedAceType : kAccessDeniedAceType;
}

std::size_t Ace::BinaryLength() const noexcept {
    if (!isObject) return kPlainHeaderLength + trustee.Length();
    return kObjectHeaderLength + (objectType ? 16 : 0) + (inheritedObjectType ? 16 : 0) + trustee.Length();
}

void Ace::AppendBinary(std::vector<std::uint8_t>& buffer) const {
    buffer.push_back(Type());
    buffer.push_back(flags);
    AppendLittleEndian(buffer, static_cast<std::uint32_t>(BinaryLength()), 2);
    AppendLittleEndian(buffer, accessMask, 4);
    if (isObject) {
        AppendLittleEndian(
            buffer, (objectType ? kObjectTypePresent : 0) | (inheritedObjectType ? kInheritedObjectTypePresent : 0), 4);
        if (objectType) buffer.insert(buffer.end(), objectType->begin(), objectType->end());
        if (inheritedObjectType) buffer.insert(buffer.end(), inheritedObjectType->begin(), inheritedObjectType->end());
    }
    buffer.insert(buffer.end(), trustee.Binary().begin(), trustee.Binary().end());
}

} // namespace ih::security
