#include "accounts/GroupDescriptions.h"

#include "accounts/ProductGroups.h"
#include "frame/ActionData.h"
#include "frame/ActionLog.h"

namespace ih::accounts {

namespace {

struct Description {
    const wchar_t* group;
    ActionDataMessages data;
    const wchar_t* settingFailure;
};

UINT SetDescription(MSIHANDLE installation, AccountDatabase& accounts, const Description& description) {
    const ActionLog log;
    const ActionData data = ReadActionData(installation, log, kCustomActionData, description.data);
    if (!data.Ok()) return ERROR_SUCCESS;
    if (accounts.SetLocalGroupComment(description.group, data.value) != NERR_Success)
        log.WriteText(description.settingFailure);
    return ERROR_SUCCESS;
}

} // namespace

UINT SetAdminGroupDescription(MSIHANDLE installation, AccountDatabase& accounts) {
    return SetDescription(installation, accounts,
                          {kAdministratorGroup,
                           {L"Error getting SetAdminGroupComment custom action data - unable to set the KestroAdmin "
                            L"group description",
                            L"An empty string was returned inside SetAdminGroupComment(), unable to set the "
                            L"KestroAdmin group description"},
                           L"Unable to set the description for the KestroAdministrator group"});
}

UINT SetPowerGroupDescription(MSIHANDLE installation, AccountDatabase& accounts) {
    return SetDescription(installation, accounts,
                          {kPowerUserGroup,
                           {L"Error getting SetPowerGroupDescription custom action data - unable to set the "
                            L"KestroPower group description",
                            L"An empty string was returned inside SetPowerGroupDescription(), unable to set the "
                            L"KestroPower group description"},
                           L"Unable to set the description for the KestroPower group"});
}

UINT SetUserGroupDescription(MSIHANDLE installation, AccountDatabase& accounts) {
    return SetDescription(installation, accounts,
                          {kUserGroup,
                           {L"Error getting SetUserGroupDescription custom action data - unable to set the KestroUser "
                            L"group description",
                            L"An empty string was returned inside SetUserGroupDescription(), unable to set the "
                            L"KestroUser group description"},
                           L"Unable to set the description for the KestroUser group"});
}

UINT SetOnAccessGroupDescription(MSIHANDLE installation, AccountDatabase& accounts) {
    return SetDescription(installation, accounts,
                          {kOnAccessGroup,
                           {L"Error getting SetOnAccessGroupDescription custom action data - unable to set the "
                            L"KestroOnAccess group description",
                            L"An empty string was returned inside SetOnAccessGroupDescription(), unable to set the "
                            L"KestroOnAccess group description"},
                           L"Unable to set the description for the KestroOnAccess group"});
}

} // namespace ih::accounts
