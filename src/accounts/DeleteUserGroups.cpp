#include "accounts/DeleteUserGroups.h"

#include "accounts/ProductGroups.h"
#include "frame/ActionLog.h"
#include "frame/Registry.h"

#include <string>

namespace ih::accounts {

namespace {

void DeleteDomainGroupsOnController(AccountDatabase& accounts, const ActionLog& log) {
    log.WriteText(L"CAlling NetGetDCName");
    std::wstring controller;
    if (accounts.DomainControllerName(controller) != NERR_Success) {
        log.WriteText(L"Unable to get domain controller name - unable to delete domain user groups");
        return;
    }
    log.WriteText(L"CAlling GetComputerName");
    std::wstring computer;
    if (accounts.ComputerName(computer) != ERROR_SUCCESS) {
        log.WriteText(L"Unable to get this computer name - unable to delete domain user groups");
        return;
    }
    if (controller != L"\\\\" + computer) return;
    log.WriteText(L"We are running on the Domain controller - attempting to delete the domain groups");
    for (const wchar_t* group : {kDomainUserGroup, kDomainPowerUserGroup, kDomainAdministratorGroup})
        accounts.DeleteDomainGroup(controller, group);
}

void DeleteAll(AccountDatabase& accounts, const ActionLog& log) {
    log.WriteText(L"CAlling NetGetJoinInformation");
    NETSETUP_JOIN_STATUS status = NetSetupUnknownStatus;
    if (accounts.JoinStatus(status) != NERR_Success) {
        log.WriteText(L"Unable to get domain membership info - unable to delete user groups");
        status = NetSetupUnknownStatus;
    }
    if (status == NetSetupDomainName) DeleteDomainGroupsOnController(accounts, log);

    log.WriteText(L"Attempting to delete local user groups");
    for (const wchar_t* group : {kUserGroup, kPowerUserGroup, kAdministratorGroup, kOnAccessGroup})
        accounts.DeleteLocalGroup(group);

    RegistryKey key;
    if (OpenRegistryKey(key, HKEY_LOCAL_MACHINE, kOnAccessKey, kOnAccessKeyAccess) == ERROR_SUCCESS)
        ::RegDeleteValueW(key.get(), kOnAccessSidValue);
}

} // namespace

UINT DeleteUserGroups(MSIHANDLE /*installation*/, AccountDatabase& accounts) {
    const ActionLog log;
    try {
        DeleteAll(accounts, log);
    } catch (...) {
        log.WriteText(L"Exception caught in DeleteUserGroups - unable to delete user groups");
    }
    return ERROR_SUCCESS;
}

} // namespace ih::accounts
