#pragma once
// The identifier records of the machine file ("Machine.xml"): each role under
// configuration/components/configurationManager/security/roles names the
// accounts that hold it in "SID" child elements. The file is edited through
// the platform's XML document object model, loaded whole and saved back in
// place; it is left as it was on every error before the save.

#include "accounts/AccountDatabase.h"

#include <windows.h>
#include <msxml.h>

#include <cstdint>
#include <map>
#include <string>

namespace ih::accounts {

inline constexpr wchar_t kMachineFileName[] = L"Machine.xml";

inline constexpr std::int32_t kFileNotUpdated = static_cast<std::int32_t>(0x80004005u); // E_FAIL
// kUnexpected (GroupOperations.h) also answers a file without roles.

// Role name (compared exactly) to the identifier in string form to append.
using RoleMap = std::map<std::wstring, std::wstring>;

enum class SidAppend {
    Always,        // a new "SID" element every time
    UnlessPresent, // not where the role already holds a "SID" of that text
};

// Appends to every role named in `roles` its identifier, and saves the file
// even when no role matched. 0, kUnexpected when there is no role at all
// (nothing saved), kFileNotUpdated on any other error.
std::int32_t AddRoleSids(const std::wstring& path, const RoleMap& roles, SidAppend mode = SidAppend::Always);

// Appends `sid` to the first role named `role` only; the same results.
std::int32_t AddRoleSid(const std::wstring& path, const std::wstring& role, const std::wstring& sid);

// Looks up the three local groups and appends each one's identifier to the
// role of its name: 0; kUnexpected when a group is not found (the file is not
// touched); kFileNotUpdated when the file was not updated.
std::int32_t RecordGroupSids(AccountDatabase& accounts, const std::wstring& path, const std::wstring& userGroup,
                             const std::wstring& powerUserGroup, const std::wstring& administratorGroup,
                             SidAppend mode = SidAppend::Always);

// Appends to `parent` one child element `tag` holding `text`. S_OK, or the
// failing call's result (E_INVALIDARG when the element cannot be made).
HRESULT AppendTextElement(IXMLDOMNode* parent, const std::wstring& tag, const std::wstring& text);

} // namespace ih::accounts
