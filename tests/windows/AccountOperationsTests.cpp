// The group operations and account look-ups over the in-memory account
// database, and the platform's own database under Wine.

#include "accounts/AccountLookup.h"
#include "accounts/GroupOperations.h"
#include "security/SecurityError.h"
#include "support/InMemoryAccountDatabase.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

using namespace ih::accounts;
using ih::security::Sid;
using ih::security::WellKnownSid;
using ih::test::InMemoryAccountDatabase;

constexpr std::int32_t kAccessDenied = static_cast<std::int32_t>(0x80070005u);

Sid DomainSid() {
    const std::uint32_t subAuthorities[] = {21, 111, 222, 333};
    return Sid::FromAuthority(5, subAuthorities);
}

Sid DomainAdminsSid() {
    const std::uint32_t subAuthorities[] = {21, 111, 222, 333, 512};
    return Sid::FromAuthority(5, subAuthorities);
}

TEST(CreateGroup, MapsThePlatformsResults) {
    struct Case {
        bool domain;
        bool exists;
        DWORD failure;
        std::int32_t expected;
    } cases[] = {
        {false, false, 0, 0},
        {false, true, 0, kGroupExists},
        {false, false, ERROR_ACCESS_DENIED, kAccessDenied},
        {false, false, ERROR_INVALID_PARAMETER, kInvalidArgument},
        {true, false, 0, 0},
        {true, true, 0, 0}, // an existing domain group counts as made
        {true, false, ERROR_ACCESS_DENIED, kAccessDenied},
    };
    for (const Case& c : cases) {
        InMemoryAccountDatabase accounts;
        accounts.controller = L"\\\\DC1";
        if (c.exists) {
            accounts.localGroups[L"G"] = {};
            accounts.domainGroups.push_back(L"G");
        }
        if (c.failure) accounts.failures[c.domain ? L"AddDomainGroup" : L"AddLocalGroup"] = c.failure;
        EXPECT_EQ(CreateGroup(accounts, L"G", c.domain), c.expected) << c.domain << c.exists << c.failure;
    }
    InMemoryAccountDatabase noController;
    EXPECT_EQ(CreateGroup(noController, L"G", true), static_cast<std::int32_t>(0x80070995u))
        << "the controller's mapped error";
    EXPECT_FALSE(noController.Called(L"AddDomainGroup"));
    EXPECT_EQ(CreateGroup(noController, L"", false), kInvalidArgument);
}

TEST(LocalGroupMembers, ListAddAndRemove) {
    InMemoryAccountDatabase accounts;
    const Sid alice = Sid::FromWellKnown(WellKnownSid::LocalSystem);
    const Sid users = Sid::FromWellKnown(WellKnownSid::AuthenticatedUsers);
    accounts.localGroups[L"Users"] = {{alice, users}, {}};
    accounts.localGroups[L"Target"] = {};

    std::vector<Sid> members;
    ASSERT_EQ(GetLocalGroupMembers(accounts, L"Users", members), 0);
    EXPECT_EQ(members.size(), 2u);
    EXPECT_EQ(AddLocalGroupMembers(accounts, L"Target", members), 0);
    EXPECT_EQ(AddLocalGroupMembers(accounts, L"Target", members), 0) << "already a member counts as added";
    EXPECT_EQ(RemoveLocalGroupMember(accounts, L"Target", users), 0);
    EXPECT_EQ(RemoveLocalGroupMember(accounts, L"Target", users), static_cast<std::int32_t>(0x80070561u))
        << "not a member";

    ASSERT_EQ(GetLocalGroupMembers(accounts, L"Missing", members), 0) << "a missing group lists as empty";
    EXPECT_TRUE(members.empty());
    accounts.calls.clear();
    EXPECT_EQ(AddLocalGroupMembers(accounts, L"Target", members), kInvalidArgument);
    EXPECT_FALSE(accounts.Called(L"AddLocalGroupMembers")) << "an empty list reaches no platform call";

    accounts.failures[L"LocalGroupMembers"] = ERROR_MORE_DATA;
    EXPECT_EQ(GetLocalGroupMembers(accounts, L"Users", members), kMoreData);
    EXPECT_TRUE(members.empty());
    accounts.failures[L"LocalGroupMembers"] = ERROR_ACCESS_DENIED;
    EXPECT_EQ(GetLocalGroupMembers(accounts, L"Users", members), kAccessDenied);
    EXPECT_EQ(GetLocalGroupMembers(accounts, L"", members), kInvalidArgument);
    EXPECT_EQ(RemoveLocalGroupMember(accounts, L"Target", Sid()), kInvalidArgument);
    accounts.failures[L"AddLocalGroupMembers"] = ERROR_ACCESS_DENIED;
    EXPECT_EQ(AddLocalGroupMembers(accounts, L"Target", {&alice, 1}), kAccessDenied);
}

TEST(DomainGroupExists, SearchesEveryPageExactly) {
    InMemoryAccountDatabase accounts;
    accounts.controller = L"\\\\DC1";
    for (int i = 0; i < 250; ++i) accounts.domainGroups.push_back(L"Group" + std::to_wstring(i));
    accounts.domainGroups.push_back(L"KestroDomainUser");
    EXPECT_TRUE(DomainGroupExists(accounts, L"KestroDomainUser")) << "found on the third page";
    EXPECT_TRUE(accounts.Called(L"DisplayGroups \\\\DC1 200"));
    EXPECT_FALSE(DomainGroupExists(accounts, L"kestrodomainuser")) << "names compare with their case";
    EXPECT_FALSE(DomainGroupExists(accounts, L"Nowhere"));

    accounts.displayPageSize = 0; // 234 with no entries, for ever
    EXPECT_FALSE(DomainGroupExists(accounts, L"KestroDomainUser"));
    accounts.displayPageSize = 100;
    accounts.failures[L"DisplayGroups"] = ERROR_ACCESS_DENIED;
    EXPECT_FALSE(DomainGroupExists(accounts, L"Group1"));
    accounts.controller.clear();
    accounts.failures.clear();
    EXPECT_FALSE(DomainGroupExists(accounts, L"Group1"));
}

TEST(IsUserDomainAdmin, OnlyADirectMembershipByExactName) {
    InMemoryAccountDatabase accounts;
    accounts.controller = L"\\\\DC1";
    accounts.domainSid = DomainSid();
    accounts.AddAccount(L"Domain Admins", DomainAdminsSid(), SidTypeGroup, L"CORP");
    accounts.userGroups = {L"Domain Users", L"Domain Admins"};
    EXPECT_TRUE(IsUserDomainAdmin(accounts));
    EXPECT_TRUE(accounts.Called(L"LookupSid \\\\DC1 S-1-5-21-111-222-333-512"));
    EXPECT_TRUE(accounts.Called(L"UserGroups \\\\DC1 installer"));

    accounts.userGroups = {L"domain admins", L"Nested Admins"};
    EXPECT_FALSE(IsUserDomainAdmin(accounts));
    accounts.userGroups = {L"Domain Admins"};
    for (const wchar_t* failing : {L"DomainSid", L"LookupSid", L"WorkstationUser", L"UserGroups"}) {
        accounts.failures = {{failing, ERROR_ACCESS_DENIED}};
        EXPECT_FALSE(IsUserDomainAdmin(accounts)) << failing;
    }
    accounts.failures.clear();
    accounts.controller.clear();
    EXPECT_FALSE(IsUserDomainAdmin(accounts));
}

TEST(AccountLookup, ByNameOnASystemAndLocalNames) {
    InMemoryAccountDatabase accounts;
    const std::wstring longDomain(200, L'D'); // beyond the first domain buffer
    accounts.AddAccount(L"KestroDomainUser", DomainAdminsSid(), SidTypeGroup, longDomain);
    const Sid found = LookUpAccount(accounts, L"KestroDomainUser", L"\\\\DC1");
    ASSERT_FALSE(found.IsEmpty());
    EXPECT_EQ(found.StringForm(), L"S-1-5-21-111-222-333-512");
    EXPECT_EQ(found.DomainName(), longDomain);
    EXPECT_EQ(found.SystemName(), L"\\\\DC1");
    EXPECT_EQ(found.NameUse(), SidTypeGroup);
    EXPECT_TRUE(LookUpAccount(accounts, L"Unknown").IsEmpty());

    const std::wstring longName(40, L'A'); // beyond the first name buffer of 32
    accounts.AddAccount(longName, Sid::FromWellKnown(WellKnownSid::Administrators));
    Sid administrators = Sid::FromWellKnown(WellKnownSid::Administrators);
    EXPECT_EQ(LocalAccountName(accounts, administrators), longName);
    accounts.calls.clear();
    EXPECT_EQ(LocalAccountName(accounts, administrators), longName);
    EXPECT_TRUE(accounts.calls.empty()) << "kept in the Sid";

    Sid unmapped = Sid::FromWellKnown(WellKnownSid::PowerUsers);
    EXPECT_EQ(LocalAccountName(accounts, unmapped), L"");
    EXPECT_EQ(unmapped.NameUse(), SidTypeUnknown);

    Sid failing = Sid::FromWellKnown(WellKnownSid::Administrators);
    accounts.secondLookupSidFailure = ERROR_ACCESS_DENIED;
    try {
        LocalAccountName(accounts, failing);
        ADD_FAILURE() << "the second, enlarged look-up failing raises";
    } catch (const ih::security::SecurityError& error) {
        EXPECT_EQ(error.Code(), kAccessDenied);
    }
}

// Wine's account functions are stubs or know only the built-in accounts; the
// platform's database must still answer every call without crashing.
TEST(SystemAccounts, AnswersEveryCallUnderWine) {
    AccountDatabase& accounts = SystemAccounts();
    NETSETUP_JOIN_STATUS status = NetSetupUnknownStatus;
    accounts.JoinStatus(status);
    std::wstring text;
    accounts.DomainControllerName(text);
    EXPECT_EQ(accounts.ComputerName(text), 0u);
    EXPECT_FALSE(text.empty());
    std::vector<Sid> members;
    DWORD total = 0;
    accounts.LocalGroupMembers(L"IhProbeGroup", members, total);
    std::vector<DisplayGroup> page;
    accounts.DisplayGroups(L"", 0, page);
    Sid domain;
    accounts.DomainSid(L"", domain);
    accounts.WorkstationUser(text);
    std::vector<std::wstring> groups;
    accounts.UserGroups(L"", L"nobody", groups);
    accounts.SetLocalGroupComment(L"IhProbeGroup", L"comment");
    const Sid localSystem = Sid::FromWellKnown(WellKnownSid::LocalSystem);
    accounts.AddLocalGroupMembers(L"IhProbeGroup", {&localSystem, 1});
    accounts.RemoveLocalGroupMember(L"IhProbeGroup", localSystem);

    EXPECT_TRUE(LookUpAccount(accounts, L"KestroOnAccess").IsEmpty()) << "no custom groups in Wine's look-up";
    const Sid system = LookUpAccount(accounts, L"SYSTEM");
    EXPECT_EQ(system.StringForm(), L"S-1-5-18");
    Sid administrators = Sid::FromWellKnown(WellKnownSid::Administrators);
    EXPECT_EQ(LocalAccountName(SystemAccounts(), administrators), L"Administrators");
}

} // namespace
