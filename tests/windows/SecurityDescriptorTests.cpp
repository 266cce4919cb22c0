// The model's ACLs and descriptors against the platform's own ACL and
// descriptor functions.
#include "security/Dacl.h"
#include "security/PlatformSid.h"
#include "security/SecurityDescriptor.h"
#include "security/SecurityError.h"
#include "security/Sid.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using namespace ih::security;
using Bytes = std::vector<std::uint8_t>;

Bytes AclBytes(const ACL* acl) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(acl);
    return {bytes, bytes + acl->AclSize};
}

PSID Psid(const Sid& sid) { return PlatformSid(sid); }

// The platform's own ACL of the given size and revision.
Bytes PlatformAcl(DWORD revision, void (*fill)(PACL)) {
    Bytes buffer(1024);
    auto* acl = reinterpret_cast<PACL>(buffer.data());
    EXPECT_TRUE(::InitializeAcl(acl, static_cast<DWORD>(buffer.size()), revision));
    fill(acl);
    ACL_SIZE_INFORMATION size{};
    EXPECT_TRUE(::GetAclInformation(acl, &size, sizeof size, AclSizeInformation));
    acl->AclSize = static_cast<WORD>(size.AclBytesInUse);
    buffer.resize(size.AclBytesInUse);
    return buffer;
}

const Sid kAdmins = Sid::FromWellKnown(WellKnownSid::Administrators);
const Sid kSystem = Sid::FromWellKnown(WellKnownSid::LocalSystem);
const Sid kEveryone = Sid::FromWellKnown(WellKnownSid::Everyone);

TEST(PlatformAcl, BuiltAclEqualsThePlatformsOwn) {
    Dacl dacl;
    dacl.AddAllowed(kAdmins, GENERIC_ALL, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
    dacl.AddAllowed(kSystem, GENERIC_READ, 0);
    dacl.AddAllowed(kEveryone, 0xE0000040, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
    const Bytes platform = PlatformAcl(ACL_REVISION, [](PACL acl) {
        EXPECT_TRUE(::AddAccessAllowedAceEx(acl, ACL_REVISION, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, GENERIC_ALL,
                                            Psid(kAdmins)));
        EXPECT_TRUE(::AddAccessAllowedAceEx(acl, ACL_REVISION, 0, GENERIC_READ, Psid(kSystem)));
        EXPECT_TRUE(::AddAccessAllowedAceEx(acl, ACL_REVISION, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, 0xE0000040,
                                            Psid(kEveryone)));
    });
    EXPECT_EQ(*dacl.BinaryAcl(), platform);
    EXPECT_TRUE(::IsValidAcl(reinterpret_cast<PACL>(const_cast<std::uint8_t*>(dacl.BinaryAcl()->data()))));

    Dacl empty;
    EXPECT_EQ(*empty.BinaryAcl(), PlatformAcl(ACL_REVISION, [](PACL) {}));
}

// Wine's object-entry adders fail (measured), so the denied-object entry is
// written from the published layout and placed with AddAce: type 6, flags 0,
// length 40, WRITE_DAC, object type present, the GUID, then Everyone.
void AddDeniedObjectEntry(PACL acl) {
    Bytes entry{6, 0, 40, 0, 0, 0, 4, 0, 1, 0, 0, 0};
    for (std::uint8_t i = 1; i <= 16; ++i) entry.push_back(i);
    entry.insert(entry.end(), kEveryone.Binary().begin(), kEveryone.Binary().end());
    EXPECT_TRUE(::AddAce(acl, ACL_REVISION_DS, MAXDWORD, entry.data(), static_cast<DWORD>(entry.size())));
}

TEST(PlatformAcl, LoadsThePlatformsListWithObjectEntriesAndRebuildsItCanonically) {
    const Bytes platform = PlatformAcl(ACL_REVISION_DS, [](PACL acl) {
        EXPECT_TRUE(::AddAccessAllowedAce(acl, ACL_REVISION_DS, GENERIC_READ, Psid(kAdmins)));
        EXPECT_TRUE(::AddAuditAccessAce(acl, ACL_REVISION_DS, GENERIC_ALL, Psid(kAdmins), TRUE, TRUE));
        AddDeniedObjectEntry(acl);
        EXPECT_TRUE(::AddAccessDeniedAce(acl, ACL_REVISION_DS, DELETE, Psid(kSystem)));
    });
    Dacl dacl;
    dacl.LoadFromBinary(platform);
    ASSERT_EQ(dacl.Count(), 3u); // the audit entry is dropped
    ACL_SIZE_INFORMATION size{};
    ASSERT_TRUE(::GetAclInformation(reinterpret_cast<PACL>(const_cast<std::uint8_t*>(platform.data())), &size,
                                    sizeof size, AclSizeInformation));
    EXPECT_EQ(size.AceCount, 4u);

    // Denied before allowed, plain before object: system, everyone (object), admins.
    const Bytes expected = PlatformAcl(ACL_REVISION_DS, [](PACL acl) {
        EXPECT_TRUE(::AddAccessDeniedAce(acl, ACL_REVISION_DS, DELETE, Psid(kSystem)));
        AddDeniedObjectEntry(acl);
        EXPECT_TRUE(::AddAccessAllowedAce(acl, ACL_REVISION_DS, GENERIC_READ, Psid(kAdmins)));
    });
    EXPECT_EQ(*dacl.BinaryAcl(), expected);
}

// A self-relative descriptor with owner, group, SACL and DACL, made by the platform.
Bytes PlatformDescriptor(const Bytes* dacl) {
    SECURITY_DESCRIPTOR absolute;
    EXPECT_TRUE(::InitializeSecurityDescriptor(&absolute, SECURITY_DESCRIPTOR_REVISION));
    EXPECT_TRUE(::SetSecurityDescriptorOwner(&absolute, Psid(kAdmins), FALSE));
    EXPECT_TRUE(::SetSecurityDescriptorGroup(&absolute, Psid(kSystem), FALSE));
    static Bytes sacl = PlatformAcl(ACL_REVISION, [](PACL acl) {
        EXPECT_TRUE(::AddAuditAccessAce(acl, ACL_REVISION, GENERIC_ALL, Psid(kEveryone), TRUE, FALSE));
    });
    EXPECT_TRUE(::SetSecurityDescriptorSacl(&absolute, TRUE, reinterpret_cast<PACL>(sacl.data()), FALSE));
    Bytes daclCopy = dacl ? *dacl : Bytes{};
    EXPECT_TRUE(::SetSecurityDescriptorDacl(&absolute, dacl != nullptr,
                                            dacl ? reinterpret_cast<PACL>(daclCopy.data()) : nullptr, FALSE));
    DWORD size = 0;
    ::MakeSelfRelativeSD(&absolute, nullptr, &size);
    Bytes block(size);
    EXPECT_TRUE(::MakeSelfRelativeSD(&absolute, block.data(), &size));
    return block;
}

struct DaclState {
    bool present = false;
    bool isNull = false;
    Bytes acl;
};

DaclState DaclOf(PSECURITY_DESCRIPTOR descriptor) {
    BOOL present = FALSE, defaulted = FALSE;
    PACL acl = nullptr;
    EXPECT_TRUE(::GetSecurityDescriptorDacl(descriptor, &present, &acl, &defaulted));
    return {present != FALSE, acl == nullptr, acl ? AclBytes(acl) : Bytes{}};
}

Bytes OwnerOf(PSECURITY_DESCRIPTOR descriptor) {
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    EXPECT_TRUE(::GetSecurityDescriptorOwner(descriptor, &owner, &defaulted));
    if (!owner) return {};
    const auto* bytes = static_cast<const std::uint8_t*>(owner);
    return {bytes, bytes + ::GetLengthSid(owner)};
}

TEST(PlatformDescriptor, SetDaclReplacesTheListAndKeepsOwnerGroupAndSacl) {
    const Bytes oldAcl = PlatformAcl(
        ACL_REVISION, [](PACL acl) { EXPECT_TRUE(::AddAccessAllowedAce(acl, ACL_REVISION, 1, Psid(kEveryone))); });
    const Bytes source = PlatformDescriptor(&oldAcl);
    SecurityDescriptor descriptor;
    descriptor.AssignSelfRelative(source);
    ASSERT_TRUE(descriptor.IsSelfRelative());
    EXPECT_EQ(descriptor.Length(), source.size());

    Dacl dacl;
    dacl.AddAllowed(kAdmins, 1, 0);
    dacl.AddAllowed(kSystem, 1, 0);
    descriptor.SetDacl(dacl);
    EXPECT_FALSE(descriptor.IsSelfRelative());
    descriptor.MakeSelfRelative();
    ASSERT_TRUE(descriptor.IsSelfRelative());

    const DaclState state = DaclOf(descriptor.Descriptor());
    EXPECT_TRUE(state.present);
    EXPECT_EQ(state.acl, *dacl.BinaryAcl());
    EXPECT_EQ(OwnerOf(descriptor.Descriptor()), Bytes(kAdmins.Binary().begin(), kAdmins.Binary().end()));

    // The platform's own conversion of the same content agrees byte for byte.
    const Bytes expected = PlatformDescriptor(dacl.BinaryAcl());
    const auto* written = static_cast<const std::uint8_t*>(descriptor.Descriptor());
    EXPECT_EQ(Bytes(written, written + descriptor.Length()), expected);
}

TEST(PlatformDescriptor, NullEmptyAndMissingDacls) {
    struct Case {
        const char* what;
        bool markNull;
        bool expectNull;
        Bytes expectedAcl;
    } const cases[] = {
        {"null-marked list: present, null DACL", true, true, {}},
        {"empty list: present, empty DACL (never no DACL)", false, false, {2, 0, 8, 0, 0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        for (const bool startEmpty : {true, false}) {
            SecurityDescriptor descriptor;
            if (!startEmpty) descriptor.AssignSelfRelative(PlatformDescriptor(nullptr));
            Dacl dacl;
            if (c.markNull) dacl.MarkNull();
            descriptor.SetDacl(dacl);
            descriptor.MakeSelfRelative();
            const DaclState state = DaclOf(descriptor.Descriptor());
            EXPECT_TRUE(state.present) << c.what;
            EXPECT_EQ(state.isNull, c.expectNull) << c.what;
            EXPECT_EQ(state.acl, c.expectedAcl) << c.what;
            EXPECT_TRUE(::IsValidSecurityDescriptor(descriptor.Descriptor())) << c.what;
        }
    }
}

TEST(PlatformDescriptor, AbsoluteSourceIsConvertedAndRoundTripsThroughMakeAbsolute) {
    SECURITY_DESCRIPTOR absolute;
    ASSERT_TRUE(::InitializeSecurityDescriptor(&absolute, SECURITY_DESCRIPTOR_REVISION));
    ASSERT_TRUE(::SetSecurityDescriptorOwner(&absolute, Psid(kSystem), FALSE));
    SecurityDescriptor descriptor;
    descriptor.Assign(&absolute);
    ASSERT_TRUE(descriptor.IsSelfRelative());
    const auto* block = static_cast<const std::uint8_t*>(descriptor.Descriptor());
    const Bytes selfRelative(block, block + descriptor.Length());

    descriptor.MakeAbsolute();
    EXPECT_FALSE(descriptor.IsSelfRelative());
    EXPECT_EQ(OwnerOf(descriptor.Descriptor()), Bytes(kSystem.Binary().begin(), kSystem.Binary().end()));
    descriptor.MakeSelfRelative();
    block = static_cast<const std::uint8_t*>(descriptor.Descriptor());
    EXPECT_EQ(Bytes(block, block + descriptor.Length()), selfRelative);
}

TEST(PlatformDescriptor, BytesThatAreNotAWholeDescriptorAreRefusedAndTheOldContentKept) {
    const Bytes source = PlatformDescriptor(nullptr);
    SecurityDescriptor descriptor;
    descriptor.AssignSelfRelative(source);
    const Bytes cutShort(source.begin(), source.end() - 4);
    try {
        descriptor.AssignSelfRelative(cutShort);
        ADD_FAILURE() << "a descriptor cut short was taken";
    } catch (const SecurityError& error) {
        EXPECT_EQ(error.Code(), kInvalidArgument);
    }
    EXPECT_EQ(descriptor.Length(), source.size());
}

} // namespace
