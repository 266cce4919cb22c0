#pragma once
// The permission actions: access lists on the product's data folder tree, and
// on its services and the launch permission of its COM server. Neither reads
// a property or CustomActionData; the installation handle is not used.

#include "accounts/AccountDatabase.h"
#include "security/PermissionPlatform.h"

#include <windows.h>

namespace ih::security {

// 0; 1603 when the data folder is unknown or a list lacks an entry it must
// hold; the platform's last error in HRESULT form (never 0) when a base list
// cannot be started.
UINT SetFolderPermissions(PermissionPlatform& platform, accounts::AccountDatabase& accounts);

// Always 0: each failure is logged or skipped.
UINT SetServiceSecurity(PermissionPlatform& platform, accounts::AccountDatabase& accounts);

// The action's failure code after a failed step: the last error in HRESULT
// form, or E_FAIL when the step left no error (0 must never mean success here).
UINT LastErrorFailureCode() noexcept;

} // namespace ih::security
