#pragma once
// One security descriptor, self-relative (one block) or absolute (the
// descriptor with its owner, group, DACL and SACL owned apart), converted with
// the platform's own functions. Every part is owned here and freed with it.

#include "security/Dacl.h"
#include "security/DescriptorLayout.h"

#include <windows.h>

#include <cstdint>
#include <span>
#include <vector>

namespace ih::security {

class SecurityDescriptor {
public:
    SecurityDescriptor() = default;
    SecurityDescriptor(const SecurityDescriptor&) = delete;
    SecurityDescriptor& operator=(const SecurityDescriptor&) = delete;

    // A private copy of a self-relative descriptor held in the bytes; raises
    // E_INVALIDARG (keeping the earlier content) when it is not one, or when
    // the descriptor or a part it points at reaches past the bytes.
    void AssignSelfRelative(std::span<const std::uint8_t> bytes);
    // A descriptor in either form, converted to a private self-relative block.
    void Assign(PSECURITY_DESCRIPTOR descriptor);

    // Makes the descriptor absolute (a new one when there is none) and sets the
    // list as its DACL: a null-marked list as a present, null DACL; any other
    // list, an empty one too, as a present DACL holding exactly its entries.
    void SetDacl(Dacl& dacl, bool defaulted = false);

    void MakeAbsolute();
    void MakeSelfRelative();

    bool IsEmpty() const noexcept;
    bool IsSelfRelative() const noexcept { return !selfRelative_.empty(); }
    // For reading; null when empty.
    PSECURITY_DESCRIPTOR Descriptor() const noexcept;
    DWORD Length() const noexcept; // GetSecurityDescriptorLength; 0 when empty

private:
    struct AbsoluteParts {
        std::vector<std::uint8_t> descriptor, dacl, sacl, owner, group;
    };
    std::vector<std::uint8_t> selfRelative_;
    AbsoluteParts absolute_;
};

} // namespace ih::security
