#include "security/Dacl.h"
#include "security/DescriptorLayout.h"
#include "security/SecurityError.h"
#include "security/Sid.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using namespace ih::security;
using Bytes = std::vector<std::uint8_t>;

Bytes SidBytes(WellKnownSid which) {
    const Sid sid = Sid::FromWellKnown(which);
    return {sid.Binary().begin(), sid.Binary().end()};
}

// A plain entry written out by hand from the published layout.
Bytes PlainAce(std::uint8_t type, std::uint8_t flags, std::uint32_t mask, const Bytes& sid) {
    const auto length = static_cast<std::uint16_t>(8 + sid.size());
    Bytes ace{type,
              flags,
              static_cast<std::uint8_t>(length),
              static_cast<std::uint8_t>(length >> 8),
              static_cast<std::uint8_t>(mask),
              static_cast<std::uint8_t>(mask >> 8),
              static_cast<std::uint8_t>(mask >> 16),
              static_cast<std::uint8_t>(mask >> 24)};
    ace.insert(ace.end(), sid.begin(), sid.end());
    return ace;
}

Bytes AclOf(std::uint8_t revision, const std::vector<Bytes>& aces) {
    std::size_t size = 8;
    for (const Bytes& ace : aces) size += ace.size();
    Bytes acl{revision,
              0,
              static_cast<std::uint8_t>(size),
              static_cast<std::uint8_t>(size >> 8),
              static_cast<std::uint8_t>(aces.size()),
              0,
              0,
              0};
    for (const Bytes& ace : aces) acl.insert(acl.end(), ace.begin(), ace.end());
    return acl;
}

Ace Entry(WellKnownSid who, bool allowed, std::uint8_t flags, bool object = false) {
    Ace ace;
    ace.trustee = Sid::FromWellKnown(who);
    ace.allowed = allowed;
    ace.flags = flags;
    ace.isObject = object;
    ace.accessMask = static_cast<std::uint32_t>(who); // tells the entries apart
    return ace;
}

TEST(Dacl, EmptyListBuildsAnEightByteRevisionTwoAcl) {
    Dacl dacl;
    EXPECT_FALSE(dacl.IsNull());
    ASSERT_NE(dacl.BinaryAcl(), nullptr);
    EXPECT_EQ(*dacl.BinaryAcl(), (Bytes{2, 0, 8, 0, 0, 0, 0, 0}));
}

TEST(Dacl, AllowedEntriesAreWrittenByteForByteInTheOrderAdded) {
    Dacl dacl;
    EXPECT_TRUE(dacl.AddAllowed(Sid::FromWellKnown(WellKnownSid::Administrators), 0x10000000, 0x03));
    EXPECT_TRUE(dacl.AddAllowed(Sid::FromWellKnown(WellKnownSid::LocalSystem), 0x80000000, 0));
    EXPECT_TRUE(dacl.AddAllowed(Sid::FromWellKnown(WellKnownSid::Everyone), 0xE0000040, 0x03));
    EXPECT_EQ(*dacl.BinaryAcl(), AclOf(2, {PlainAce(0, 0x03, 0x10000000, SidBytes(WellKnownSid::Administrators)),
                                           PlainAce(0, 0, 0x80000000, SidBytes(WellKnownSid::LocalSystem)),
                                           PlainAce(0, 0x03, 0xE0000040, SidBytes(WellKnownSid::Everyone))}));
}

TEST(Dacl, InvalidSidAddsNothingAndEntriesDropTheNullMarker) {
    Dacl dacl;
    EXPECT_FALSE(dacl.AddAllowed(Sid(), 0x10000000, 0));
    EXPECT_EQ(dacl.Count(), 0u);
    dacl.MarkNull();
    EXPECT_TRUE(dacl.IsNull());
    EXPECT_EQ(dacl.BinaryAcl(), nullptr);
    EXPECT_FALSE(dacl.AddAllowed(Sid(), 1, 0));
    EXPECT_TRUE(dacl.IsNull()); // a failed addition leaves the marker
    EXPECT_TRUE(dacl.AddAllowed(Sid::FromWellKnown(WellKnownSid::Users), 1, 0));
    EXPECT_FALSE(dacl.IsNull());
    EXPECT_EQ(*dacl.BinaryAcl(), AclOf(2, {PlainAce(0, 0, 1, SidBytes(WellKnownSid::Users))}));
}

TEST(Dacl, AddingAfterBuildingDropsTheCachedAcl) {
    Dacl dacl;
    dacl.AddAllowed(Sid::FromWellKnown(WellKnownSid::Users), 1, 0);
    const Bytes first = *dacl.BinaryAcl();
    dacl.AddAllowed(Sid::FromWellKnown(WellKnownSid::Everyone), 2, 0);
    EXPECT_EQ(dacl.BinaryAcl()->size(), first.size() + 20);
    dacl.Clear();
    EXPECT_EQ(dacl.BinaryAcl()->size(), 8u);
}

TEST(Dacl, LoadKeepsAllowedDeniedAndObjectEntriesAndSkipsOthers) {
    const Bytes admins = SidBytes(WellKnownSid::Administrators), users = SidBytes(WellKnownSid::Users);
    Bytes objectAce{5, 0x02, 0, 0, 0x01, 0, 0, 0, 0x01, 0, 0, 0}; // allowed-object, object type present
    for (std::uint8_t i = 0; i < 16; ++i) objectAce.push_back(i);
    objectAce.insert(objectAce.end(), users.begin(), users.end());
    objectAce[2] = static_cast<std::uint8_t>(objectAce.size());
    const Bytes acl =
        AclOf(4, {PlainAce(0, 0, 0x1F01FF, admins), PlainAce(2, 0xC0, 0x1, admins),          // audit: skipped
                  PlainAce(1, 0x10, 0x2, users), objectAce, PlainAce(0x11, 0, 0x1, users)}); // label: skipped
    Dacl dacl;
    dacl.LoadFromBinary(acl);
    ASSERT_EQ(dacl.Count(), 3u);
    EXPECT_TRUE(dacl.Entries()[0].allowed);
    EXPECT_EQ(dacl.Entries()[0].accessMask, 0x1F01FFu);
    EXPECT_FALSE(dacl.Entries()[1].allowed);
    EXPECT_EQ(dacl.Entries()[1].flags, 0x10);
    EXPECT_EQ(dacl.Entries()[1].trustee, Sid::FromWellKnown(WellKnownSid::Users));
    EXPECT_TRUE(dacl.Entries()[2].isObject);
    ASSERT_TRUE(dacl.Entries()[2].objectType.has_value());
    EXPECT_EQ((*dacl.Entries()[2].objectType)[15], 15);
    EXPECT_FALSE(dacl.Entries()[2].inheritedObjectType.has_value());

    // Written back: revision 4 for the object entry, the entries' own bytes kept.
    const Bytes& rebuilt = *dacl.BinaryAcl();
    EXPECT_EQ(rebuilt[0], 4);
    const Bytes expected = AclOf(4, {PlainAce(0, 0, 0x1F01FF, admins), objectAce, PlainAce(1, 0x10, 0x2, users)});
    EXPECT_EQ(rebuilt, expected); // the inherited denied entry goes last
}

TEST(Dacl, CanonicalOrderPutsDeniedFirstAndInheritedLast) {
    const auto A = WellKnownSid::Everyone, B = WellKnownSid::Users, C = WellKnownSid::LocalSystem,
               D = WellKnownSid::PowerUsers, E = WellKnownSid::Administrators, F = WellKnownSid::InteractiveUsers;
    struct Case {
        const char* what;
        std::vector<Ace> input;
        std::vector<WellKnownSid> expected;
    } const cases[] = {
        {"denied after allowed", {Entry(A, true, 0), Entry(B, false, 0)}, {B, A}},
        {"inherited before explicit", {Entry(A, false, kInheritedAce), Entry(B, true, 0)}, {B, A}},
        {"object after plain", {Entry(A, true, 0, true), Entry(B, true, 0)}, {B, A}},
        {"equal entries keep their order (more than four: gap 4)",
         {Entry(A, true, 3), Entry(B, true, 3), Entry(C, true, 3), Entry(D, true, 3), Entry(E, true, 3),
          Entry(F, true, 3)},
         {A, B, C, D, E, F}},
        // The shell sort is not stable: the two explicit denied entries swap.
        {"six mixed",
         {Entry(A, true, kInheritedAce), Entry(B, true, 0), Entry(C, false, kInheritedAce), Entry(D, false, 0),
          Entry(E, true, 0, true), Entry(F, false, 0)},
         {F, D, B, E, C, A}},
    };
    for (const auto& c : cases) {
        std::vector<Ace> entries = c.input;
        SortCanonically(entries);
        ASSERT_EQ(entries.size(), c.expected.size()) << c.what;
        for (std::size_t i = 0; i < entries.size(); ++i) {
            EXPECT_EQ(entries[i].trustee, Sid::FromWellKnown(c.expected[i])) << c.what << " at " << i;
        }
    }
}

TEST(Dacl, ListsThatLieAreRefusedAndTheEarlierEntriesKept) {
    const Bytes users = SidBytes(WellKnownSid::Users);
    const Bytes good = AclOf(2, {PlainAce(0, 0, 1, users)});
    auto with = [&](std::size_t at, std::uint8_t value) {
        Bytes bytes = good;
        bytes[at] = value;
        return bytes;
    };
    struct Case {
        const char* what;
        Bytes acl;
    } const cases[] = {
        {"shorter than the header", Bytes{2, 0, 8, 0}},
        {"size past the bytes", with(2, static_cast<std::uint8_t>(good.size() + 4))},
        {"size below the header", with(2, 4)},
        {"count more than the entries", with(4, 2)},
        {"entry length past the list", with(8 + 2, 200)},
        {"entry length below its header", with(8 + 2, 2)},
        {"entry too short for its SID", with(8 + 2, 12)},
        {"SID with a bad revision", with(8 + 8, 3)},
        {"SID counting more sub-authorities than fit", with(8 + 9, 9)},
    };
    for (const auto& c : cases) {
        Dacl dacl;
        dacl.AddAllowed(Sid::FromWellKnown(WellKnownSid::Everyone), 7, 0);
        try {
            dacl.LoadFromBinary(c.acl);
            ADD_FAILURE() << c.what << " was loaded";
        } catch (const SecurityError& error) {
            EXPECT_EQ(error.Code(), kInvalidArgument) << c.what;
        }
        ASSERT_EQ(dacl.Count(), 1u) << c.what;
        EXPECT_EQ(dacl.Entries()[0].accessMask, 7u) << c.what;
    }
    // Bytes after the list's own size are not its business.
    Bytes trailing = good;
    trailing.push_back(0xFF);
    Dacl dacl;
    dacl.LoadFromBinary(trailing);
    EXPECT_EQ(dacl.Count(), 1u);
}

TEST(Dacl, ListTooLargeForAnAclIsRefused) {
    Dacl dacl;
    for (int i = 0; i < 4000; ++i) dacl.AddAllowed(Sid::FromWellKnown(WellKnownSid::Users), 1, 0); // 4000 * 24 bytes
    EXPECT_THROW(dacl.BinaryAcl(), SecurityError);
}

TEST(DescriptorLayout, WholeSelfRelativeDescriptorsOnly) {
    const Bytes system = SidBytes(WellKnownSid::LocalSystem);
    // header (20) + owner SID at 20 + DACL at 32
    Bytes descriptor{1, 0, 0x04, 0x80, 20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 32, 0, 0, 0};
    descriptor.insert(descriptor.end(), system.begin(), system.end());
    const Bytes acl = AclOf(2, {PlainAce(0, 0, 1, system)});
    descriptor.insert(descriptor.end(), acl.begin(), acl.end());
    EXPECT_TRUE(IsWholeSelfRelativeDescriptor(descriptor));

    auto with = [&](std::size_t at, std::uint8_t value) {
        Bytes bytes = descriptor;
        bytes[at] = value;
        return bytes;
    };
    EXPECT_FALSE(IsWholeSelfRelativeDescriptor(Bytes(descriptor.begin(), descriptor.end() - 1))); // DACL cut short
    EXPECT_FALSE(IsWholeSelfRelativeDescriptor(Bytes(descriptor.begin(), descriptor.begin() + 19)));
    EXPECT_FALSE(IsWholeSelfRelativeDescriptor(with(3, 0)));    // absolute
    EXPECT_FALSE(IsWholeSelfRelativeDescriptor(with(0, 2)));    // revision
    EXPECT_FALSE(IsWholeSelfRelativeDescriptor(with(4, 250)));  // owner past the end
    EXPECT_FALSE(IsWholeSelfRelativeDescriptor(with(16, 250))); // DACL past the end
    EXPECT_TRUE(IsWholeSelfRelativeDescriptor(with(2, 0)));     // DACL offset ignored when not present
}

} // namespace
