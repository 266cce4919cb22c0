#pragma once
// The group operations of the product's group actions: creating a local or
// domain group, listing, adding and removing members of a local group, and
// two questions about the domain. They log nothing and keep no state; results
// are HRESULT-form codes (0 success, negative failure) unless said otherwise.

#include "accounts/AccountDatabase.h"
#include "security/Sid.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace ih::accounts {

inline constexpr std::int32_t kInvalidArgument = static_cast<std::int32_t>(0x80070057u); // E_INVALIDARG
inline constexpr std::int32_t kUnexpected = static_cast<std::int32_t>(0x8000FFFFu);      // E_UNEXPECTED
inline constexpr std::int32_t kMoreData = static_cast<std::int32_t>(0x800700EAu);        // error 234 mapped
// CreateGroup of a local group that exists: positive, so not a failure.
inline constexpr std::int32_t kGroupExists = 1379; // ERROR_ALIAS_EXISTS

// Creates the local group `name`, or with `domain` the global group on the
// domain's controller. An existing domain group counts as created; an
// existing local group answers kGroupExists.
std::int32_t CreateGroup(AccountDatabase& accounts, const std::wstring& name, bool domain);

// The members of local group `group`. A group that does not exist lists as
// empty; a listing that did not come in one piece is kMoreData, one whose
// entries disagree with its announced total kUnexpected.
std::int32_t GetLocalGroupMembers(AccountDatabase& accounts, const std::wstring& group,
                                  std::vector<security::Sid>& members);

// Adds `members` to local group `group`; a member already there counts as
// added. The list stays the caller's. Any other failure also writes
// "Error adding User to <group> Group: <platform result>" to standard output.
std::int32_t AddLocalGroupMembers(AccountDatabase& accounts, const std::wstring& group,
                                  std::span<const security::Sid> members);

// Removes one member; a member that is not in the group is a failure.
std::int32_t RemoveLocalGroupMember(AccountDatabase& accounts, const std::wstring& group, const security::Sid& member);

// Whether a global group of exactly this name (case-sensitive) exists in the
// machine's domain, searched page by page on the domain's controller.
bool DomainGroupExists(AccountDatabase& accounts, const std::wstring& name);

// Whether the workstation's user is a direct member of the domain's
// administrators group (RID 512), compared by name in the domain's language.
bool IsUserDomainAdmin(AccountDatabase& accounts);

} // namespace ih::accounts
