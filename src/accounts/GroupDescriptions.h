#pragma once
// The four actions that give a local product group its description, taken
// whole from CustomActionData. They always answer 0.

#include "accounts/AccountDatabase.h"

#include <windows.h>
#include <msi.h>

namespace ih::accounts {

UINT SetAdminGroupDescription(MSIHANDLE installation, AccountDatabase& accounts);
UINT SetPowerGroupDescription(MSIHANDLE installation, AccountDatabase& accounts);
UINT SetUserGroupDescription(MSIHANDLE installation, AccountDatabase& accounts);
UINT SetOnAccessGroupDescription(MSIHANDLE installation, AccountDatabase& accounts);

} // namespace ih::accounts
