#pragma once
// DeleteUserGroups: on removal, deletes the product's local groups, its domain
// groups when this machine is the domain's controller, and the on-access
// identifier value. Always answers 0.

#include "accounts/AccountDatabase.h"

#include <windows.h>
#include <msi.h>

namespace ih::accounts {

UINT DeleteUserGroups(MSIHANDLE installation, AccountDatabase& accounts);

} // namespace ih::accounts
