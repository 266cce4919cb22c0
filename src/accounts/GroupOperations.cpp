#include "accounts/GroupOperations.h"

#include "frame/HResult.h"
#include "frame/LogFormat.h"

#include <cstdio>
#include <string>

namespace ih::accounts {

namespace {

using security::Sid;

constexpr DWORD kMoreEntries = ERROR_MORE_DATA; // 234
constexpr DWORD kRidDomainAdmins = 512;         // DOMAIN_GROUP_RID_ADMINS
// A domain's display pages end when the platform stops answering 234. A page
// of 234 that brings no entry, or no progress, would be asked for again and
// again; and no domain holds more groups than this many pages of 100.
constexpr unsigned kMaxDisplayPages = 100000;

std::int32_t Mapped(DWORD error) { return HResultFromWin32(static_cast<std::int32_t>(error)); }

void WriteAddFailure(const std::wstring& group, DWORD result) {
    const std::wstring line =
        FormatLogMessage(L"Error adding User to %s Group: %ld\n", {group, static_cast<std::int32_t>(result)});
    const int size =
        ::WideCharToMultiByte(CP_ACP, 0, line.data(), static_cast<int>(line.size()), nullptr, 0, nullptr, nullptr);
    if (size <= 0) return;
    std::string bytes(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, line.data(), static_cast<int>(line.size()), bytes.data(), size, nullptr, nullptr);
    std::fputs(bytes.c_str(), stdout);
    std::fflush(stdout);
}

// The domain's administrators group: the domain's identifier with RID 512
// appended; empty when the domain identifier cannot take one more.
Sid DomainAdminsSid(const Sid& domain) {
    if (!domain.IsValid() || domain.SubAuthorityCount() >= security::kMaxSubAuthorities) return {};
    std::vector<std::uint32_t> subAuthorities;
    for (std::size_t i = 0; i < domain.SubAuthorityCount(); ++i) subAuthorities.push_back(domain.SubAuthority(i));
    subAuthorities.push_back(kRidDomainAdmins);
    return Sid::FromAuthority(domain.Authority(), subAuthorities);
}

} // namespace

std::int32_t CreateGroup(AccountDatabase& accounts, const std::wstring& name, bool domain) {
    if (name.empty()) return kInvalidArgument;
    DWORD result;
    if (domain) {
        std::wstring controller;
        const DWORD found = accounts.DomainControllerName(controller);
        if (found != NERR_Success) return Mapped(found);
        result = accounts.AddDomainGroup(controller, name);
    } else {
        result = accounts.AddLocalGroup(name);
    }
    switch (result) {
    case NERR_Success:
    case NERR_GroupExists: return 0;
    case ERROR_ALIAS_EXISTS: return kGroupExists;
    default: return Mapped(result);
    }
}

std::int32_t GetLocalGroupMembers(AccountDatabase& accounts, const std::wstring& group, std::vector<Sid>& members) {
    members.clear();
    if (group.empty()) return kInvalidArgument;
    std::vector<Sid> listed;
    DWORD total = 0;
    const DWORD result = accounts.LocalGroupMembers(group, listed, total);
    if (result == kMoreEntries) return kMoreData;
    if (result == ERROR_NO_SUCH_ALIAS) return 0;
    if (result != NERR_Success) return Mapped(result);
    if (listed.size() != total) return kUnexpected;
    members = std::move(listed);
    return 0;
}

std::int32_t AddLocalGroupMembers(AccountDatabase& accounts, const std::wstring& group, std::span<const Sid> members) {
    if (group.empty() || members.empty()) return kInvalidArgument;
    for (const Sid& member : members)
        if (!member.IsValid()) return kInvalidArgument;
    const DWORD result = accounts.AddLocalGroupMembers(group, members);
    if (result == NERR_Success || result == ERROR_MEMBER_IN_ALIAS) return 0;
    WriteAddFailure(group, result);
    return Mapped(result);
}

std::int32_t RemoveLocalGroupMember(AccountDatabase& accounts, const std::wstring& group, const Sid& member) {
    if (group.empty() || !member.IsValid()) return kInvalidArgument;
    const DWORD result = accounts.RemoveLocalGroupMember(group, member);
    return result == NERR_Success ? 0 : Mapped(result);
}

bool DomainGroupExists(AccountDatabase& accounts, const std::wstring& name) {
    std::wstring controller;
    if (accounts.DomainControllerName(controller) != NERR_Success) return false;
    DWORD index = 0;
    std::vector<DisplayGroup> page;
    for (unsigned pass = 0; pass < kMaxDisplayPages; ++pass) {
        const DWORD result = accounts.DisplayGroups(controller, index, page);
        if (result != NERR_Success && result != kMoreEntries) return false;
        const DWORD asked = index;
        for (const DisplayGroup& group : page) {
            if (group.name == name) return true;
            index = group.nextIndex;
        }
        if (result != kMoreEntries || page.empty() || index == asked) return false;
    }
    return false;
}

bool IsUserDomainAdmin(AccountDatabase& accounts) {
    std::wstring controller;
    if (accounts.DomainControllerName(controller) != NERR_Success) return false;
    Sid domain;
    if (accounts.DomainSid(controller, domain) != NERR_Success) return false;
    const Sid admins = DomainAdminsSid(domain);
    if (admins.IsEmpty()) return false;

    wchar_t adminsName[260] = {};
    wchar_t adminsDomain[260] = {};
    DWORD nameSize = 260, domainSize = 260;
    SID_NAME_USE use = SidTypeUnknown;
    if (accounts.LookupSid(controller.c_str(), admins.Binary().data(), adminsName, nameSize, adminsDomain, domainSize,
                           use) != ERROR_SUCCESS)
        return false;
    adminsName[259] = L'\0';

    std::wstring user;
    if (accounts.WorkstationUser(user) != NERR_Success) return false;
    // Asked afresh, as every operation that needs the controller does.
    if (accounts.DomainControllerName(controller) != NERR_Success) return false;
    std::vector<std::wstring> groups;
    if (accounts.UserGroups(controller, user, groups) != NERR_Success) return false;
    for (const std::wstring& group : groups)
        if (group == adminsName) return true;
    return false;
}

} // namespace ih::accounts
