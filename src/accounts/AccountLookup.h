#pragma once
// The account look-ups of the group actions, made through the account
// database: an identifier from an account name (on the local machine or a
// named system, such as the domain's controller), and an identifier's local
// account name. The string form is the Sid's own.

#include "accounts/AccountDatabase.h"
#include "security/Sid.h"

#include <string>

namespace ih::accounts {

// The identifier of `account` on `system` (null: the local machine), with what
// the look-up found (name use, account, domain and system names); an empty
// Sid when the account is not found or the look-up fails.
security::Sid LookUpAccount(AccountDatabase& accounts, const std::wstring& account, const wchar_t* system = nullptr);

// The local account name of `sid`, looked up on its system on the first
// request and kept in the Sid (an empty kept name counts as not looked up).
// An identifier without a mapping gets an empty name and name use 8; any
// other failure leaves the name empty, except a failing second attempt with
// the buffers the platform asked for, which raises the platform's error as a
// SecurityError.
const std::wstring& LocalAccountName(AccountDatabase& accounts, security::Sid& sid);

} // namespace ih::accounts
