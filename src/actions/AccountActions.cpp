// Exported entry points of the product group actions.

#include "accounts/AccountDatabase.h"
#include "accounts/CreateUserGroups.h"
#include "accounts/DeleteUserGroups.h"
#include "accounts/GroupDescriptions.h"
#include "actions/Exports.h"
#include "frame/ActionGuard.h"

using ih::accounts::SystemAccounts;

extern "C" UINT __stdcall CreateUserGroups(MSIHANDLE installation) {
    return ih::GuardAction(L"CreateUserGroups", ERROR_SUCCESS,
                           [&] { return ih::accounts::CreateUserGroups(installation, SystemAccounts()); });
}

extern "C" UINT __stdcall DeleteUserGroups(MSIHANDLE installation) {
    return ih::GuardAction(L"DeleteUserGroups", ERROR_SUCCESS,
                           [&] { return ih::accounts::DeleteUserGroups(installation, SystemAccounts()); });
}

extern "C" UINT __stdcall SetAdminGroupDescription(MSIHANDLE installation) {
    return ih::GuardAction(L"SetAdminGroupDescription", ERROR_SUCCESS,
                           [&] { return ih::accounts::SetAdminGroupDescription(installation, SystemAccounts()); });
}

extern "C" UINT __stdcall SetPowerGroupDescription(MSIHANDLE installation) {
    return ih::GuardAction(L"SetPowerGroupDescription", ERROR_SUCCESS,
                           [&] { return ih::accounts::SetPowerGroupDescription(installation, SystemAccounts()); });
}

extern "C" UINT __stdcall SetUserGroupDescription(MSIHANDLE installation) {
    return ih::GuardAction(L"SetUserGroupDescription", ERROR_SUCCESS,
                           [&] { return ih::accounts::SetUserGroupDescription(installation, SystemAccounts()); });
}

extern "C" UINT __stdcall SetOnAccessGroupDescription(MSIHANDLE installation) {
    return ih::GuardAction(L"SetOnAccessGroupDescription", ERROR_SUCCESS,
                           [&] { return ih::accounts::SetOnAccessGroupDescription(installation, SystemAccounts()); });
}
