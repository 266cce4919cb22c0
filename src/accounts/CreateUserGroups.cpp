#include "accounts/CreateUserGroups.h"

#include "accounts/AccountLookup.h"
#include "accounts/AgentService.h"
#include "accounts/GroupOperations.h"
#include "accounts/MachineFile.h"
#include "accounts/ProductGroups.h"
#include "frame/ActionData.h"
#include "frame/ActionLog.h"
#include "frame/Installer.h"
#include "frame/Paths.h"
#include "frame/Registry.h"

#include <string>
#include <vector>

namespace ih::accounts {

namespace {

using security::Sid;
using security::WellKnownSid;

constexpr wchar_t kFinalLine[] = L"Successfully added/created all groups - function is now returning";
constexpr wchar_t kRecordFailure[] = L"Unable to create add local group SIDs to machine file.";

std::wstring MachineFilePath(const std::wstring& configurationFolder) {
    return JoinPath(configurationFolder, kMachineFileName);
}

// The on-access driver finds its group's identifier in the registry.
void PublishOnAccessSid(AccountDatabase& accounts, const ActionLog& log) {
    const Sid onAccess = LookUpAccount(accounts, kOnAccessGroup);
    if (onAccess.IsEmpty()) return;
    RegistryKey key;
    if (CreateRegistryKey(key, HKEY_LOCAL_MACHINE, kOnAccessKey, kOnAccessKeyAccess) != ERROR_SUCCESS)
        log.WriteText(L"Unable to create Gatewarden key");
    const bool set = key && ::RegSetValueExW(key.get(), kOnAccessSidValue, 0, REG_BINARY, onAccess.Binary().data(),
                                             static_cast<DWORD>(onAccess.Length())) == ERROR_SUCCESS;
    if (!set) log.WriteText(L"Unable to set value of Gatewarden key");
}

void CreateLocalGroup(AccountDatabase& accounts, const ActionLog& log, const wchar_t* group, const wchar_t* failure) {
    if (CreateGroup(accounts, group, false) < 0) log.WriteText(failure);
}

// Creates the domain groups when the domain has none yet and the user may;
// answers whether the domain groups can be linked.
bool PrepareDomainGroups(AccountDatabase& accounts, const ActionLog& log) {
    if (DomainGroupExists(accounts, kDomainUserGroup)) {
        log.WriteText(L"Domain groups are already created");
        return true;
    }
    log.WriteText(L"Domain groups are not yet created");
    if (!IsUserDomainAdmin(accounts)) {
        log.WriteText(L"User is not a domain admin - no user groups will be created.");
        return false;
    }
    log.WriteText(L"User is domain admin - will attempt to create domain groups");
    if (CreateGroup(accounts, kDomainUserGroup, true) < 0) log.WriteText(L"Failed to create DomainKEstroUserGroup");
    if (CreateGroup(accounts, kDomainPowerUserGroup, true) < 0)
        log.WriteText(L"Failed to create DomainKEstroPowerGroup");
    if (CreateGroup(accounts, kDomainAdministratorGroup, true) < 0)
        log.WriteText(L"Failed to create DomainKEstroAdminGroup");
    return true;
}

// A built-in group's name in the machine's language, logged on two lines.
std::wstring LocalNameOf(AccountDatabase& accounts, const ActionLog& log, WellKnownSid group, const wchar_t* line) {
    Sid sid = Sid::FromWellKnown(group);
    std::wstring name = LocalAccountName(accounts, sid);
    log.WriteText(line);
    log.WriteText(name);
    return name;
}

struct Filling {
    const wchar_t* group;
    const wchar_t* listingFailure; // the built-in group's name (or a word) follows
    bool listingFailureNamesGroup;
    const wchar_t* addingFailure;
};

void FillFrom(AccountDatabase& accounts, const ActionLog& log, const std::wstring& builtInName,
              const Filling& filling) {
    std::vector<Sid> members;
    if (GetLocalGroupMembers(accounts, builtInName, members) < 0) {
        log.WriteText(std::wstring(filling.listingFailure) +
                      (filling.listingFailureNamesGroup ? builtInName : std::wstring(L"\"PowerUsers\"")));
        return;
    }
    if (AddLocalGroupMembers(accounts, filling.group, members) < 0) log.WriteText(filling.addingFailure);
}

struct DomainLink {
    const wchar_t* domainGroup;
    const wchar_t* localGroup;
    const wchar_t* lookUpFailure;
    const wchar_t* added;
    const wchar_t* addingFailure;
};

constexpr DomainLink kDomainLinks[] = {
    {kDomainAdministratorGroup, kAdministratorGroup,
     L"Failed to get the SID of the KestroDomainAdministrators group. This group will not be added to the local "
     L"KestroAdministrators group",
     L"Added KestroDomainAdmin group to local KestroAdmin group",
     L"Unable to add the DomainKestroAdminGroup to the Local KEstroAdminGroup"},
    {kDomainPowerUserGroup, kPowerUserGroup,
     L"Failed to get the SID of the KestroDomainPowerUsers group. This group will not be added to the local "
     L"KestroPowerUsers group",
     L"Added KestroDomainPower group to local KestroPower group",
     L"Unable add the DomainKestroPowerGroup to the local KestroPowerGroup"},
    {kDomainUserGroup, kUserGroup,
     L"Unable to get the SID of the DomainKestroUsersGroup. This group will not be added to the local KestroUsers "
     L"group",
     L"Added KestroDomainUser group to local KestroUser group",
     L"Unable add the DomainKestroUsersGroup to the Local KestroUsersGroup"},
};

void LinkDomainGroups(AccountDatabase& accounts, const ActionLog& log) {
    std::wstring controller;
    // Without the controller's name the look-ups are made on this machine.
    const bool haveController = accounts.DomainControllerName(controller) == NERR_Success;
    for (const DomainLink& link : kDomainLinks) {
        const Sid domainGroup =
            LookUpAccount(accounts, link.domainGroup, haveController ? controller.c_str() : nullptr);
        if (domainGroup.IsEmpty()) {
            log.WriteText(link.lookUpFailure);
            continue;
        }
        const bool added = AddLocalGroupMembers(accounts, link.localGroup, {&domainGroup, 1}) >= 0;
        log.WriteText(link.added);
        if (!added) log.WriteText(link.addingFailure);
    }
}

// Local System into the administrators group, or else its identifier into
// the administrators role of the machine file.
void AddLocalSystem(AccountDatabase& accounts, const ActionLog& log, const std::wstring& machineFile) {
    const Sid localSystem = Sid::FromWellKnown(WellKnownSid::LocalSystem);
    if (accounts.AddLocalGroupMembers(kAdministratorGroup, {&localSystem, 1}) == NERR_Success) return;
    log.WriteText(L"Unable to add LocalSystem to the KestroAdministrator group, attempting to add the SID to the "
                  L"factory file");
    if (AddRoleSid(machineFile, kAdministratorGroup, localSystem.StringForm()) < 0)
        log.WriteText(L"Unable to add Local System SID to the Machine.xml file");
}

// The groups outlive a failed or rolled-back installation, so a later one
// finds them in place with a freshly installed machine file: the identifiers
// are recorded again, each only where its role lacks it.
UINT RecordExistingGroups(MSIHANDLE installation, AccountDatabase& accounts, const ActionLog& log) {
    PublishOnAccessSid(accounts, log);
    std::wstring folder;
    if (GetInstallerProperty(installation, folder, kCustomActionData) != ERROR_SUCCESS) {
        log.WriteText(L"Unable to get the custom action property for CreateUserGroups");
        return ERROR_SUCCESS;
    }
    if (folder.empty()) return ERROR_SUCCESS;
    if (RecordGroupSids(accounts, MachineFilePath(folder), kUserGroup, kPowerUserGroup, kAdministratorGroup,
                        SidAppend::UnlessPresent) < 0)
        log.WriteText(kRecordFailure);
    return ERROR_SUCCESS;
}

UINT CreateAndFillGroups(MSIHANDLE installation, AccountDatabase& accounts, const ActionLog& log) {
    const std::int32_t created = CreateGroup(accounts, kUserGroup, false);
    if (created == kGroupExists) {
        log.WriteText(L"Kestro groups already exist - not attempting to create Kestro groups or users");
        return RecordExistingGroups(installation, accounts, log);
    }
    if (created < 0) log.WriteText(L"Unable to create local KestroUserGroup");
    CreateLocalGroup(accounts, log, kPowerUserGroup, L"Unable to create local KestroPowerGroup");
    CreateLocalGroup(accounts, log, kAdministratorGroup, L"Unable to create local KestroAdminGroup");
    CreateLocalGroup(accounts, log, kOnAccessGroup, L"Unable to create local OnAccessGroup");

    PublishOnAccessSid(accounts, log);

    std::wstring folder;
    if (GetInstallerProperty(installation, folder, kCustomActionData) != ERROR_SUCCESS)
        log.WriteText(L"Unable to get the custom action property for CreateUserGroups");
    if (folder.empty()) {
        log.WriteText(L"Empty string returned from GetProperty inside CreateUserGroups. Fatal error");
        return ERROR_INSTALL_FAILURE;
    }
    const std::wstring machineFile = MachineFilePath(folder);
    if (RecordGroupSids(accounts, machineFile, kUserGroup, kPowerUserGroup, kAdministratorGroup) < 0) {
        log.WriteText(kRecordFailure);
        return ERROR_INSTALL_FAILURE;
    }

    NETSETUP_JOIN_STATUS status = NetSetupUnknownStatus;
    if (accounts.JoinStatus(status) != NERR_Success) {
        log.WriteText(L"Unable to determine whether machine is in domain - installation will continue as if machine "
                      L"is not in domain.");
        status = NetSetupUnknownStatus;
    }
    const bool inDomain = status == NetSetupDomainName;
    const bool domainGroupsReady = inDomain && PrepareDomainGroups(accounts, log);

    const std::wstring administrators =
        LocalNameOf(accounts, log, WellKnownSid::Administrators, L"Local name of well-known group Administrators is ");
    const std::wstring powerUsers =
        LocalNameOf(accounts, log, WellKnownSid::PowerUsers, L"Local name of well-known group PowerUsers is ");
    const std::wstring users =
        LocalNameOf(accounts, log, WellKnownSid::Users, L"Local name of well-known group Users is ");

    FillFrom(accounts, log, users,
             {kUserGroup, L"Failed to get the members of the well known group ", true,
              L"Failed to add the members of group Users to KestroUser group"});
    if (RemoveLocalGroupMember(accounts, kUserGroup, Sid::FromWellKnown(WellKnownSid::AuthenticatedUsers)) < 0)
        log.WriteText(L"Failed to remove NT AUTHORITY\\Authenticated Users from KestroUser group");
    if (RemoveLocalGroupMember(accounts, kUserGroup, Sid::FromWellKnown(WellKnownSid::InteractiveUsers)) < 0)
        log.WriteText(L"Failed to remove NT AUTHORITY\\INTERACTIVE from KestroUser group");
    FillFrom(accounts, log, powerUsers,
             {kPowerUserGroup, L"Failed to get the members of the well known group ", false,
              L"Failed to add the members of group PowerUsers to KestroPowerUser group"});
    FillFrom(accounts, log, administrators,
             {kAdministratorGroup, L"Failed to get the members of the well known group  ", true,
              L"Failed to add the members of group Administrators to KestroAdministrator group"});

    if (domainGroupsReady) LinkDomainGroups(accounts, log);
    log.WriteText(L"Successfully added/created all groups");
    AddLocalSystem(accounts, log, machineFile);

    if (RestartAgentService(log)) log.WriteText(kFinalLine);
    return ERROR_SUCCESS;
}

} // namespace

UINT CreateUserGroups(MSIHANDLE installation, AccountDatabase& accounts) {
    const ActionLog log;
    try {
        return CreateAndFillGroups(installation, accounts, log);
    } catch (...) {
        log.WriteText(L"Exception caught in CreateUserGroups() - please ensure groups have been created");
        log.WriteText(kFinalLine);
        return ERROR_SUCCESS;
    }
}

} // namespace ih::accounts
