#pragma once
// CreateUserGroups: creates the product's local groups (and, in a domain, its
// domain groups), fills them from the built-in groups, publishes the
// on-access group's identifier, records the groups' identifiers in the
// machine file, and restarts the management agent.

#include "accounts/AccountDatabase.h"

#include <windows.h>
#include <msi.h>

namespace ih::accounts {

// CustomActionData: the configuration folder that holds "Machine.xml", without
// a trailing backslash. 1603 when it is empty or the machine file cannot be
// updated; 0 otherwise.
UINT CreateUserGroups(MSIHANDLE installation, AccountDatabase& accounts);

} // namespace ih::accounts
