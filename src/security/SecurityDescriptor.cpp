#include "security/SecurityDescriptor.h"

#include "frame/HResult.h"
#include "security/SecurityError.h"

#include <utility>

namespace ih::security {

namespace {

// The platform's last error as an HRESULT; a failure that left no error
// behind still never reads as success.
[[noreturn]] void ThrowLastError(const char* what) {
    const std::int32_t code = HResultFromWin32(static_cast<std::int32_t>(::GetLastError()));
    throw SecurityError(code == 0 ? kUnspecifiedFailure : code, what);
}

std::vector<std::uint8_t> BufferOf(DWORD size) { return std::vector<std::uint8_t>(size); }

void* DataOrNull(std::vector<std::uint8_t>& buffer) noexcept { return buffer.empty() ? nullptr : buffer.data(); }

} // namespace

bool SecurityDescriptor::IsEmpty() const noexcept { return selfRelative_.empty() && absolute_.descriptor.empty(); }

PSECURITY_DESCRIPTOR SecurityDescriptor::Descriptor() const noexcept {
    const std::vector<std::uint8_t>& block = IsSelfRelative() ? selfRelative_ : absolute_.descriptor;
    return block.empty() ? nullptr : const_cast<std::uint8_t*>(block.data());
}

DWORD SecurityDescriptor::Length() const noexcept {
    return IsEmpty() ? 0 : ::GetSecurityDescriptorLength(Descriptor());
}

void SecurityDescriptor::AssignSelfRelative(std::span<const std::uint8_t> bytes) {
    if (!IsWholeSelfRelativeDescriptor(bytes)) {
        throw SecurityError(kInvalidArgument, "not a whole self-relative security descriptor");
    }
    std::vector<std::uint8_t> copy(bytes.begin(), bytes.end());
    const DWORD length = ::GetSecurityDescriptorLength(copy.data());
    if (length == 0 || length > copy.size())
        throw SecurityError(kInvalidArgument, "a descriptor's parts lie past its end");
    copy.resize(length);
    selfRelative_ = std::move(copy);
    absolute_ = {};
}

void SecurityDescriptor::Assign(PSECURITY_DESCRIPTOR descriptor) {
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (descriptor == nullptr || !::GetSecurityDescriptorControl(descriptor, &control, &revision)) {
        throw SecurityError(kUnspecifiedFailure, "the descriptor's control word cannot be read");
    }
    std::vector<std::uint8_t> block;
    if (control & SE_SELF_RELATIVE) {
        const auto* bytes = static_cast<const std::uint8_t*>(descriptor);
        block.assign(bytes, bytes + ::GetSecurityDescriptorLength(descriptor));
    } else {
        DWORD size = 0;
        if (::MakeSelfRelativeSD(descriptor, nullptr, &size) || ::GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
            ThrowLastError("the descriptor's self-relative size cannot be learnt");
        }
        block = BufferOf(size);
        if (!::MakeSelfRelativeSD(descriptor, block.data(), &size))
            ThrowLastError("the descriptor cannot be made self-relative");
    }
    selfRelative_ = std::move(block);
    absolute_ = {};
}

void SecurityDescriptor::MakeAbsolute() {
    if (!IsSelfRelative()) return;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (!::GetSecurityDescriptorControl(selfRelative_.data(), &control, &revision)) {
        throw SecurityError(kUnspecifiedFailure, "the descriptor's control word cannot be read");
    }
    DWORD descriptorSize = 0, daclSize = 0, saclSize = 0, ownerSize = 0, groupSize = 0;
    if (::MakeAbsoluteSD(selfRelative_.data(), nullptr, &descriptorSize, nullptr, &daclSize, nullptr, &saclSize,
                         nullptr, &ownerSize, nullptr, &groupSize) ||
        ::GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
        ThrowLastError("the descriptor's absolute sizes cannot be learnt");
    }
    AbsoluteParts parts{BufferOf(descriptorSize), BufferOf(daclSize), BufferOf(saclSize), BufferOf(ownerSize),
                        BufferOf(groupSize)};
    if (!::MakeAbsoluteSD(selfRelative_.data(), DataOrNull(parts.descriptor), &descriptorSize,
                          static_cast<PACL>(DataOrNull(parts.dacl)), &daclSize,
                          static_cast<PACL>(DataOrNull(parts.sacl)), &saclSize, DataOrNull(parts.owner), &ownerSize,
                          DataOrNull(parts.group), &groupSize)) {
        ThrowLastError("the descriptor cannot be made absolute");
    }
    // The parts' heap blocks do not move with the vectors, so the descriptor's
    // pointers into them stay good.
    absolute_ = std::move(parts);
    selfRelative_.clear();
}

void SecurityDescriptor::MakeSelfRelative() {
    if (IsSelfRelative() || IsEmpty()) return;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (!::GetSecurityDescriptorControl(absolute_.descriptor.data(), &control, &revision)) {
        throw SecurityError(kUnspecifiedFailure, "the descriptor's control word cannot be read");
    }
    DWORD size = 0;
    if (::MakeSelfRelativeSD(absolute_.descriptor.data(), nullptr, &size) ||
        ::GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
        ThrowLastError("the descriptor's self-relative size cannot be learnt");
    }
    std::vector<std::uint8_t> block = BufferOf(size);
    if (!::MakeSelfRelativeSD(absolute_.descriptor.data(), block.data(), &size)) {
        ThrowLastError("the descriptor cannot be made self-relative");
    }
    selfRelative_ = std::move(block);
    absolute_ = {};
}

void SecurityDescriptor::SetDacl(Dacl& dacl, bool defaulted) {
    if (IsEmpty()) {
        std::vector<std::uint8_t> descriptor = BufferOf(sizeof(SECURITY_DESCRIPTOR));
        if (!::InitializeSecurityDescriptor(descriptor.data(), SECURITY_DESCRIPTOR_REVISION)) {
            ThrowLastError("a security descriptor cannot be initialised");
        }
        absolute_ = {std::move(descriptor), {}, {}, {}, {}};
    } else {
        MakeAbsolute();
    }
    // An empty list is written as a present, empty ACL: no DACL at all would
    // grant everyone everything.
    std::vector<std::uint8_t> copy;
    if (const std::vector<std::uint8_t>* acl = dacl.BinaryAcl()) copy = *acl;
    if (!::SetSecurityDescriptorDacl(absolute_.descriptor.data(), TRUE, static_cast<PACL>(DataOrNull(copy)),
                                     defaulted ? TRUE : FALSE)) {
        ThrowLastError("the DACL cannot be set");
    }
    // The previous DACL, an owned part or one inside the converted block, is
    // released only now that nothing points at it.
    absolute_.dacl = std::move(copy);
}

} // namespace ih::security
