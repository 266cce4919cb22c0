// Exported entry points of the permission actions.

#include "actions/Exports.h"
#include "frame/ActionGuard.h"
#include "security/PermissionActions.h"

extern "C" UINT __stdcall SetFolderPermissions(MSIHANDLE) {
    return ih::GuardAction(L"SetFolderPermissions", ERROR_INSTALL_FAILURE, [] {
        return ih::security::SetFolderPermissions(ih::security::SystemPermissions(), ih::accounts::SystemAccounts());
    });
}

extern "C" UINT __stdcall SetServiceSecurity(MSIHANDLE) {
    return ih::GuardAction(L"SetServiceSecurity", ERROR_SUCCESS, [] {
        return ih::security::SetServiceSecurity(ih::security::SystemPermissions(), ih::accounts::SystemAccounts());
    });
}
