// The product group actions with real installation handles over the
// in-memory account database; the machine file through the platform's XML
// document object model on real files; the agent restart against a real
// user-mode service.

#include "accounts/AgentService.h"
#include "accounts/CreateUserGroups.h"
#include "accounts/DeleteUserGroups.h"
#include "accounts/GroupDescriptions.h"
#include "accounts/GroupOperations.h"
#include "accounts/MachineFile.h"
#include "accounts/ProductGroups.h"
#include "actions/Exports.h"
#include "frame/Handles.h"
#include "support/HandleCount.h"
#include "support/InMemoryAccountDatabase.h"
#include "support/LogFile.h"
#include "support/TestClock.h"
#include "support/TestFolder.h"
#include "support/TestPackage.h"
#include "support/TestServices.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using namespace ih::accounts;
using namespace ih::test;
using ih::security::Sid;
using ih::security::WellKnownSid;

constexpr char kMachineFile[] =
    "<?xml version=\"1.0\"?>\r\n<configuration><components><configurationManager><security><roles>"
    "<role name=\"KestroAdministrator\"><SID>S-1-5-32-544</SID></role>"
    "<role name=\"Other\"/>"
    "<role name=\"kestrouser\"/>"
    "<role name=\"KestroUser\"/>"
    "<role name=\"KestroPowerUser\"></role>"
    "</roles></security></configurationManager></components></configuration>\r\n";

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

class MachineFileTest : public testing::Test {
protected:
    TestFolder folder;
    std::wstring path = folder / L"Machine.xml";
};

TEST_F(MachineFileTest, EachMappedRoleGetsOneMoreSidAndOthersStay) {
    // The document class's first use in the process keeps handles of its own.
    folder.WriteFile(L"Machine.xml", kMachineFile);
    AddRoleSids(path, {});
    folder.WriteFile(L"Machine.xml", kMachineFile);
    const RoleMap roles = {
        {L"KestroUser", L"S-1-5-21-1"}, {L"KestroPowerUser", L"S-1-5-21-2"}, {L"KestroAdministrator", L"S-1-5-21-3"}};
    const HandleCountCheck handles;
    ASSERT_EQ(AddRoleSids(path, roles), 0);
    EXPECT_TRUE(handles.Unchanged());
    const std::string saved = ReadWholeFile(path);
    EXPECT_NE(saved.find("<role name=\"KestroAdministrator\"><SID>S-1-5-32-544</SID><SID>S-1-5-21-3</SID></role>"),
              std::string::npos)
        << saved;
    EXPECT_NE(saved.find("<role name=\"KestroUser\"><SID>S-1-5-21-1</SID></role>"), std::string::npos) << saved;
    EXPECT_NE(saved.find("<role name=\"KestroPowerUser\"><SID>S-1-5-21-2</SID></role>"), std::string::npos) << saved;
    EXPECT_NE(saved.find("<role name=\"kestrouser\"/>"), std::string::npos) << "other case: not matched";
    EXPECT_NE(saved.find("<role name=\"Other\"/>"), std::string::npos);

    ASSERT_EQ(AddRoleSids(path, roles, SidAppend::UnlessPresent), 0);
    EXPECT_EQ(Count(ReadWholeFile(path), "S-1-5-21-"), 3u) << "nothing appended twice";
}

TEST_F(MachineFileTest, AddRoleSidFillsOnlyTheFirstMatch) {
    folder.WriteFile(L"Machine.xml", "<configuration><components><configurationManager><security><roles>"
                                     "<role name=\"KestroAdministrator\"/><role name=\"KestroAdministrator\"/><role/>"
                                     "</roles></security></configurationManager></components></configuration>");
    ASSERT_EQ(AddRoleSid(path, L"KestroAdministrator", L"S-1-5-18"), 0) << "roles after the match are not visited";
    EXPECT_EQ(Count(ReadWholeFile(path), "<SID>S-1-5-18</SID>"), 1u);
}

TEST_F(MachineFileTest, ErrorsLeaveTheFileAsItWas) {
    const struct {
        const char* content;
        std::int32_t expected;
    } cases[] = {
        {"<configuration><components><configurationManager><security><roles>"
         "<role name=\"KestroUser\"/><role/></roles></security></configurationManager></components></configuration>",
         kFileNotUpdated}, // a role without a name, after a match
        {"<configuration><components><configurationManager><security><roles> </roles></security>"
         "</configurationManager></components></configuration>",
         kUnexpected},
        {"<configuration><components/></configuration>", kUnexpected},
        {"<configuration><roles>", kFileNotUpdated},
        {"not XML at all", kFileNotUpdated},
    };
    for (const auto& c : cases) {
        folder.WriteFile(L"Machine.xml", c.content);
        EXPECT_EQ(AddRoleSids(path, {{L"KestroUser", L"S-1-5-21-1"}}), c.expected) << c.content;
        EXPECT_EQ(ReadWholeFile(path), c.content);
    }
    EXPECT_EQ(AddRoleSid(folder / L"missing.xml", L"KestroUser", L"S-1-5-18"), kFileNotUpdated);
    EXPECT_FALSE(FileExists(folder / L"missing.xml"));
}

// The database of a workgroup machine with the built-in groups filled.
InMemoryAccountDatabase Workstation() {
    InMemoryAccountDatabase accounts;
    const std::uint32_t aliceRid[] = {21, 9, 9, 9, 1001};
    const Sid alice = accounts.AddAccount(L"alice", Sid::FromAuthority(5, aliceRid), SidTypeUser, L"WORKSTATION");
    const Sid administrators =
        accounts.AddAccount(L"Administratoren", Sid::FromWellKnown(WellKnownSid::Administrators));
    accounts.AddAccount(L"Hauptbenutzer", Sid::FromWellKnown(WellKnownSid::PowerUsers));
    accounts.AddAccount(L"Benutzer", Sid::FromWellKnown(WellKnownSid::Users));
    accounts.localGroups[L"Administratoren"] = {{alice}, {}};
    accounts.localGroups[L"Hauptbenutzer"] = {};
    accounts.localGroups[L"Benutzer"] = {{alice, Sid::FromWellKnown(WellKnownSid::AuthenticatedUsers),
                                          Sid::FromWellKnown(WellKnownSid::InteractiveUsers)},
                                         {}};
    return accounts;
}

bool Holds(const InMemoryAccountDatabase& accounts, const std::wstring& group, const Sid& member) {
    const auto found = accounts.localGroups.find(group);
    if (found == accounts.localGroups.end()) return false;
    const auto& members = found->second.members;
    return std::find(members.begin(), members.end(), member) != members.end();
}

std::vector<std::uint8_t> OnAccessValue() {
    std::vector<std::uint8_t> data(256);
    DWORD size = static_cast<DWORD>(data.size());
    DWORD type = 0;
    ih::UniqueResource<ih::traits::RegistryKey> key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kOnAccessKey, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS ||
        ::RegQueryValueExW(key.get(), kOnAccessSidValue, nullptr, &type, data.data(), &size) != ERROR_SUCCESS ||
        type != REG_BINARY)
        return {};
    data.resize(size);
    return data;
}

void RemoveOnAccessValue() {
    ih::UniqueResource<ih::traits::RegistryKey> key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kOnAccessKey, 0, KEY_SET_VALUE, key.put()) == ERROR_SUCCESS)
        ::RegDeleteValueW(key.get(), kOnAccessSidValue);
}

class CreateUserGroupsTest : public testing::Test {
protected:
    TestFolder temp;
    TemporaryFolderRedirect redirect{temp.Path()};
    TestFolder config;
    std::wstring folder = config.Path().substr(0, config.Path().size() - 1);
    std::wstring machineFile = config / L"Machine.xml";
    InMemoryAccountDatabase accounts = Workstation();

    void SetUp() override {
        RemoveOnAccessValue();
        config.WriteFile(L"Machine.xml", kMachineFile);
    }
    void TearDown() override { RemoveOnAccessValue(); }

    UINT Run(const std::wstring& data) {
        const TestPackage package = PackageWithActionData(data);
        return CreateUserGroups(package.Handle(), accounts);
    }
    std::wstring SidOf(const std::wstring& name) { return accounts.accounts.at(name).sid.StringForm(); }
};

TEST_F(CreateUserGroupsTest, WorkgroupMachine) {
    ASSERT_EQ(Run(folder), 0u);
    for (const wchar_t* group : {kUserGroup, kPowerUserGroup, kAdministratorGroup, kOnAccessGroup})
        EXPECT_TRUE(accounts.localGroups.count(group)) << group;
    const Sid alice = accounts.accounts.at(L"alice").sid;
    EXPECT_TRUE(Holds(accounts, kUserGroup, alice));
    EXPECT_FALSE(Holds(accounts, kUserGroup, Sid::FromWellKnown(WellKnownSid::AuthenticatedUsers)));
    EXPECT_FALSE(Holds(accounts, kUserGroup, Sid::FromWellKnown(WellKnownSid::InteractiveUsers)));
    EXPECT_TRUE(Holds(accounts, kAdministratorGroup, alice));
    EXPECT_TRUE(Holds(accounts, kAdministratorGroup, Sid::FromWellKnown(WellKnownSid::LocalSystem)));

    const auto onAccess = accounts.accounts.at(kOnAccessGroup).sid.Binary();
    EXPECT_EQ(OnAccessValue(), std::vector<std::uint8_t>(onAccess.begin(), onAccess.end()));
    const std::string saved = ReadWholeFile(machineFile);
    for (const wchar_t* group : {kUserGroup, kPowerUserGroup, kAdministratorGroup}) {
        const std::wstring sid = SidOf(group);
        EXPECT_EQ(Count(saved, "<SID>" + std::string(sid.begin(), sid.end()) + "</SID>"), 1u) << saved;
    }
    EXPECT_EQ(Count(saved, "S-1-5-18"), 0u) << "Local System became a member";
    EXPECT_FALSE(accounts.Called(L"DomainControllerName")) << "not in a domain";

    EXPECT_EQ(ActionLogEntries(),
              (std::vector<std::wstring>{
                  L"Local name of well-known group Administrators is ", L"Administratoren",
                  L"Local name of well-known group PowerUsers is ", L"Hauptbenutzer",
                  L"Local name of well-known group Users is ", L"Benutzer",
                  L"Failed to add the members of group PowerUsers to KestroPowerUser group",
                  L"Successfully added/created all groups",
                  L"Unable to get a handle to the MA Service inside CreateUserGroups. The Kestro Agent service will "
                  L"not be re-started until next reboot"}));
}

TEST_F(CreateUserGroupsTest, ExistingGroupsStillGetTheirIdentifiersRecordedOnce) {
    ASSERT_EQ(Run(folder), 0u);
    config.WriteFile(L"Machine.xml", kMachineFile); // a freshly installed file
    RemoveOnAccessValue();
    ::DeleteFileA(ih::ActionLog().Path().c_str());
    accounts.calls.clear();
    for (int run = 0; run < 2; ++run) ASSERT_EQ(Run(folder), 0u);
    EXPECT_EQ(ActionLogEntries(),
              (std::vector<std::wstring>(2, L"Kestro groups already exist - not attempting to create Kestro groups "
                                            L"or users")));
    const std::string saved = ReadWholeFile(machineFile);
    EXPECT_EQ(Count(saved, "<SID>S-1-5-21-1-2-3-"), 3u) << saved;
    EXPECT_FALSE(OnAccessValue().empty());
    EXPECT_FALSE(accounts.Called(L"AddLocalGroupMembers")) << "no membership work";
    EXPECT_FALSE(accounts.Called(L"JoinStatus"));
}

TEST_F(CreateUserGroupsTest, FatalEndsBeforeAnyMembership) {
    EXPECT_EQ(Run(L""), 1603u);
    EXPECT_EQ(ActionLogEntries(), std::vector<std::wstring>{
                                      L"Empty string returned from GetProperty inside CreateUserGroups. Fatal error"});
    EXPECT_EQ(accounts.localGroups.size(), 7u) << "the four groups were made";
    EXPECT_FALSE(OnAccessValue().empty());

    InMemoryAccountDatabase unknown = Workstation();
    unknown.failures[L"LookupName"] = ERROR_NONE_MAPPED; // as under Wine
    accounts = unknown;
    ::DeleteFileA(ih::ActionLog().Path().c_str());
    EXPECT_EQ(Run(folder), 1603u);
    EXPECT_EQ(ActionLogEntries(), std::vector<std::wstring>{L"Unable to create add local group SIDs to machine file."});
    EXPECT_EQ(ReadWholeFile(machineFile), kMachineFile);
    EXPECT_FALSE(accounts.Called(L"JoinStatus"));
    EXPECT_FALSE(accounts.Called(L"AddLocalGroupMembers"));
}

TEST_F(CreateUserGroupsTest, DomainMemberLinksExistingDomainGroups) {
    accounts.joinStatus = NetSetupDomainName;
    accounts.controller = L"\\\\DC1";
    accounts.domainGroups = {L"Domain Users", L"KestroDomainUser"};
    const std::uint32_t rid[] = {21, 7, 7, 7, 3000};
    const Sid domainUser = accounts.AddAccount(L"KestroDomainUser", Sid::FromAuthority(5, rid), SidTypeGroup, L"CORP");
    ASSERT_EQ(Run(folder), 0u);
    EXPECT_TRUE(Holds(accounts, kUserGroup, domainUser));
    EXPECT_TRUE(accounts.Called(L"LookupName \\\\DC1 KestroDomainUser"));
    EXPECT_FALSE(accounts.Called(L"DomainSid")) << "no administrator test";
    const std::vector<std::wstring> log = ActionLogEntries();
    const std::vector<std::wstring> expected = {
        L"Failed to get the SID of the KestroDomainAdministrators group. This group will not be added to the local "
        L"KestroAdministrators group",
        L"Failed to get the SID of the KestroDomainPowerUsers group. This group will not be added to the local "
        L"KestroPowerUsers group",
        L"Added KestroDomainUser group to local KestroUser group", L"Successfully added/created all groups"};
    EXPECT_NE(std::search(log.begin(), log.end(), expected.begin(), expected.end()), log.end());
    EXPECT_EQ(log.front(), L"Domain groups are already created");
}

TEST_F(CreateUserGroupsTest, DomainMemberWhoIsNotAnAdministratorMakesNoDomainGroups) {
    accounts.joinStatus = NetSetupDomainName;
    accounts.controller = L"\\\\DC1";
    const std::uint32_t domain[] = {21, 7, 7, 7};
    accounts.domainSid = Sid::FromAuthority(5, domain);
    ASSERT_EQ(Run(folder), 0u);
    EXPECT_FALSE(accounts.Called(L"AddDomainGroup"));
    EXPECT_FALSE(accounts.Called(L"LookupName \\\\DC1 KestroDomainUser"));
    const std::vector<std::wstring> log = ActionLogEntries();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0], L"Domain groups are not yet created");
    EXPECT_EQ(log[1], L"User is not a domain admin - no user groups will be created.");
}

TEST_F(CreateUserGroupsTest, LocalSystemFallsBackToTheMachineFileAndRaisedErrorsEndTheSteps) {
    accounts.failures[L"AddLocalGroupMembers"] = ERROR_ACCESS_DENIED;
    ASSERT_EQ(Run(folder), 0u);
    EXPECT_EQ(Count(ReadWholeFile(machineFile), "<SID>S-1-5-18</SID>"), 1u);
    const std::vector<std::wstring> log = ActionLogEntries();
    EXPECT_NE(std::find(log.begin(), log.end(),
                        L"Unable to add LocalSystem to the KestroAdministrator group, attempting to add the SID to the "
                        L"factory file"),
              log.end());

    InMemoryAccountDatabase raising = Workstation();
    raising.AddAccount(std::wstring(40, L'A'), Sid::FromWellKnown(WellKnownSid::Administrators));
    raising.accounts.erase(L"Administratoren");
    raising.secondLookupSidFailure = ERROR_ACCESS_DENIED;
    accounts = raising;
    config.WriteFile(L"Machine.xml", kMachineFile);
    ::DeleteFileA(ih::ActionLog().Path().c_str());
    ASSERT_EQ(Run(folder), 0u);
    EXPECT_EQ(ActionLogEntries(),
              (std::vector<std::wstring>{L"Exception caught in CreateUserGroups() - please ensure groups have been "
                                         L"created",
                                         L"Successfully added/created all groups - function is now returning"}));
    EXPECT_FALSE(accounts.Called(L"AddLocalGroupMembers"));
}

// The agent as a real service of the prefix, played by the user-mode service fixture.
class AgentServiceTest : public testing::Test {
protected:
    TestFolder temp;
    TemporaryFolderRedirect redirect{temp.Path()};
    ScopedService agent{kAgentServiceName};

    void Install(std::wstring_view options, bool start = true) {
        agent.CreateUserMode(options);
        if (start) agent.Start();
    }
};

TEST_F(AgentServiceTest, RestartsAServiceThatStops) {
    for (const wchar_t* options : {L"--wait-hint 1000", L"--stop-after 300 --wait-hint 200"}) {
        agent.Remove();
        Install(options);
        const DWORD before = agent.ProcessId();
        const SteppingClock clock;
        const ih::ActionLog log;
        EXPECT_TRUE(RestartAgentService(log)) << options;
        for (int i = 0; i < 200 && agent.State() != SERVICE_RUNNING; ++i) ::Sleep(25);
        EXPECT_EQ(agent.State(), static_cast<DWORD>(SERVICE_RUNNING)) << options;
        EXPECT_NE(agent.ProcessId(), before) << "a new process: " << options;
    }
    EXPECT_TRUE(ActionLogEntries().empty());
}

TEST_F(AgentServiceTest, LeavesAStoppedOrStuckServiceAlone) {
    Install(L"", false);
    const ih::ActionLog log;
    EXPECT_FALSE(RestartAgentService(log));
    EXPECT_EQ(agent.State(), static_cast<DWORD>(SERVICE_STOPPED));
    agent.Remove();

    // A service that stays stop-pending and asks for days: the poll keeps to the limit.
    Install(L"--stay-pending --wait-hint 4000000000");
    SteppingClock clock;
    EXPECT_FALSE(RestartAgentService(log));
    EXPECT_EQ(agent.State(), static_cast<DWORD>(SERVICE_STOP_PENDING));
    DWORD slept = 0;
    for (DWORD sleep : clock.sleeps) slept += sleep;
    EXPECT_EQ(slept, kAgentStopLimit + 1) << "never past the limit";
    EXPECT_EQ(ActionLogEntries(),
              (std::vector<std::wstring>{
                  L"Unable to stop the MA Service inside CreateUserGroups. The Kestro Agent service will not be "
                  L"re-started until next reboot",
                  L"Could not stop the MA service. The Kestro Agent service will not be re-started until next "
                  L"reboot"}));
}

TEST(GroupDescriptions, SetTheCommentOrLogWhy) {
    TestFolder temp;
    const TemporaryFolderRedirect redirect(temp.Path());
    InMemoryAccountDatabase accounts;
    accounts.localGroups[kAdministratorGroup] = {};
    const TestPackage described = PackageWithActionData(L"Kestro administrators: 100% in charge");
    EXPECT_EQ(SetAdminGroupDescription(described.Handle(), accounts), 0u);
    EXPECT_EQ(accounts.localGroups[kAdministratorGroup].comment, L"Kestro administrators: 100% in charge");
    EXPECT_EQ(SetOnAccessGroupDescription(described.Handle(), accounts), 0u) << "no such group";
    const TestPackage empty = PackageWithActionData(L"");
    accounts.calls.clear();
    EXPECT_EQ(SetUserGroupDescription(empty.Handle(), accounts), 0u);
    EXPECT_TRUE(accounts.calls.empty());
    accounts.failures[L"SetLocalGroupComment"] = ERROR_ACCESS_DENIED;
    EXPECT_EQ(SetPowerGroupDescription(described.Handle(), accounts), 0u);
    EXPECT_EQ(ActionLogEntries(),
              (std::vector<std::wstring>{
                  L"Unable to set the description for the KestroOnAccess group",
                  L"An empty string was returned inside SetUserGroupDescription(), unable to set the KestroUser "
                  L"group description",
                  L"Unable to set the description for the KestroPower group"}));
}

TEST(DeleteUserGroups, LocalGroupsAlwaysDomainGroupsOnlyOnTheController) {
    TestFolder temp;
    const TemporaryFolderRedirect redirect(temp.Path());
    const TestPackage package;
    struct Case {
        NETSETUP_JOIN_STATUS status;
        const wchar_t* controller;
        bool domainGroupsDeleted;
        std::vector<std::wstring> log;
    } cases[] = {
        {NetSetupWorkgroupName,
         L"",
         false,
         {L"CAlling NetGetJoinInformation", L"Attempting to delete local user groups"}},
        {NetSetupDomainName,
         L"\\\\DC1",
         false,
         {L"CAlling NetGetJoinInformation", L"CAlling NetGetDCName", L"CAlling GetComputerName",
          L"Attempting to delete local user groups"}},
        {NetSetupDomainName,
         L"\\\\WORKSTATION",
         true,
         {L"CAlling NetGetJoinInformation", L"CAlling NetGetDCName", L"CAlling GetComputerName",
          L"We are running on the Domain controller - attempting to delete the domain groups",
          L"Attempting to delete local user groups"}},
        {NetSetupDomainName,
         L"\\\\workstation",
         false,
         {L"CAlling NetGetJoinInformation", L"CAlling NetGetDCName", L"CAlling GetComputerName",
          L"Attempting to delete local user groups"}},
    };
    for (const Case& c : cases) {
        ::DeleteFileA(ih::ActionLog().Path().c_str());
        InMemoryAccountDatabase accounts;
        accounts.joinStatus = c.status;
        accounts.controller = c.controller;
        accounts.domainGroups = {kDomainUserGroup, kDomainPowerUserGroup, kDomainAdministratorGroup};
        for (const wchar_t* group : {kUserGroup, kPowerUserGroup, kAdministratorGroup, kOnAccessGroup})
            accounts.localGroups[group] = {};
        {
            ih::UniqueResource<ih::traits::RegistryKey> key;
            const BYTE value[] = {1, 0};
            ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kOnAccessKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                        key.put(), nullptr),
                      0);
            ::RegSetValueExW(key.get(), kOnAccessSidValue, 0, REG_BINARY, value, 2);
        }
        const HandleCountCheck handles;
        EXPECT_EQ(DeleteUserGroups(package.Handle(), accounts), 0u);
        EXPECT_TRUE(handles.Unchanged());
        EXPECT_TRUE(accounts.localGroups.empty());
        EXPECT_EQ(accounts.domainGroups.empty(), c.domainGroupsDeleted) << c.controller;
        EXPECT_EQ(ActionLogEntries(), c.log) << c.controller;
        EXPECT_TRUE(OnAccessValue().empty());
        EXPECT_EQ(DeleteUserGroups(package.Handle(), accounts), 0u) << "already gone";
    }
}

// Under Wine's account functions the product groups cannot be looked up, so
// the exported action ends with the machine file's fatal line.
TEST(GroupActionsExported, CreateUserGroupsFailsOnWinesLookUps) {
    TestFolder temp;
    const TemporaryFolderRedirect redirect(temp.Path());
    TestFolder config;
    config.WriteFile(L"Machine.xml", kMachineFile);
    const std::wstring folder = config.Path().substr(0, config.Path().size() - 1);
    const TestPackage package = PackageWithActionData(folder);
    EXPECT_EQ(::CreateUserGroups(package.Handle()), 1603u);
    EXPECT_EQ(ActionLogEntries(), std::vector<std::wstring>{L"Unable to create add local group SIDs to machine file."});
    EXPECT_EQ(ReadWholeFile(config / L"Machine.xml"), kMachineFile);
    EXPECT_EQ(::DeleteUserGroups(package.Handle()), 0u);
}

} // namespace
