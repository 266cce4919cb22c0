#include "support/InMemoryAccountDatabase.h"

#include <algorithm>
#include <cstring>

namespace ih::test {

using security::Sid;

namespace {

bool Contains(const std::vector<Sid>& members, const Sid& sid) {
    return std::find(members.begin(), members.end(), sid) != members.end();
}

} // namespace

Sid InMemoryAccountDatabase::AddAccount(const std::wstring& name, const Sid& sid, SID_NAME_USE use,
                                        const std::wstring& domain) {
    accounts[name] = {sid, domain, use};
    return sid;
}

bool InMemoryAccountDatabase::Called(const std::wstring& operation) const {
    return std::any_of(calls.begin(), calls.end(), [&](const std::wstring& call) {
        return call == operation || call.rfind(operation + L" ", 0) == 0;
    });
}

DWORD InMemoryAccountDatabase::Record(const std::wstring& operation, const std::wstring& argument) {
    calls.push_back(argument.empty() ? operation : operation + L" " + argument);
    const auto failure = failures.find(operation);
    return failure == failures.end() ? 0 : failure->second;
}

DWORD InMemoryAccountDatabase::JoinStatus(NETSETUP_JOIN_STATUS& status) {
    if (const DWORD failure = Record(L"JoinStatus")) return failure;
    status = joinStatus;
    return 0;
}

DWORD InMemoryAccountDatabase::DomainControllerName(std::wstring& name) {
    if (const DWORD failure = Record(L"DomainControllerName")) return failure;
    if (controller.empty()) return 2453; // NERR_DCNotFound
    name = controller;
    return 0;
}

DWORD InMemoryAccountDatabase::ComputerName(std::wstring& name) {
    if (const DWORD failure = Record(L"ComputerName")) return failure;
    name = computer;
    return 0;
}

DWORD InMemoryAccountDatabase::AddLocalGroup(const std::wstring& name) {
    if (const DWORD failure = Record(L"AddLocalGroup", name)) return failure;
    if (localGroups.count(name)) return ERROR_ALIAS_EXISTS;
    localGroups[name] = {};
    const std::uint32_t subAuthorities[] = {21, 1, 2, 3, nextRid_++};
    AddAccount(name, Sid::FromAuthority(5, subAuthorities), SidTypeAlias, computer);
    return 0;
}

DWORD InMemoryAccountDatabase::AddDomainGroup(const std::wstring& controllerName, const std::wstring& name) {
    if (const DWORD failure = Record(L"AddDomainGroup", controllerName + L" " + name)) return failure;
    if (std::find(domainGroups.begin(), domainGroups.end(), name) != domainGroups.end()) return NERR_GroupExists;
    domainGroups.push_back(name);
    return 0;
}

DWORD InMemoryAccountDatabase::DeleteLocalGroup(const std::wstring& name) {
    if (const DWORD failure = Record(L"DeleteLocalGroup", name)) return failure;
    return localGroups.erase(name) ? 0 : ERROR_NO_SUCH_ALIAS;
}

DWORD InMemoryAccountDatabase::DeleteDomainGroup(const std::wstring& controllerName, const std::wstring& name) {
    if (const DWORD failure = Record(L"DeleteDomainGroup", controllerName + L" " + name)) return failure;
    const auto found = std::find(domainGroups.begin(), domainGroups.end(), name);
    if (found == domainGroups.end()) return NERR_GroupNotFound;
    domainGroups.erase(found);
    return 0;
}

DWORD InMemoryAccountDatabase::SetLocalGroupComment(const std::wstring& name, const std::wstring& comment) {
    if (const DWORD failure = Record(L"SetLocalGroupComment", name)) return failure;
    const auto group = localGroups.find(name);
    if (group == localGroups.end()) return NERR_GroupNotFound;
    group->second.comment = comment;
    return 0;
}

DWORD InMemoryAccountDatabase::LocalGroupMembers(const std::wstring& group, std::vector<Sid>& members,
                                                 DWORD& totalEntries) {
    members.clear();
    totalEntries = 0;
    if (const DWORD failure = Record(L"LocalGroupMembers", group)) return failure;
    const auto found = localGroups.find(group);
    if (found == localGroups.end()) return ERROR_NO_SUCH_ALIAS;
    members = found->second.members;
    totalEntries = static_cast<DWORD>(members.size());
    return 0;
}

DWORD InMemoryAccountDatabase::AddLocalGroupMembers(const std::wstring& group, std::span<const Sid> members) {
    if (const DWORD failure = Record(L"AddLocalGroupMembers", group)) return failure;
    const auto found = localGroups.find(group);
    if (found == localGroups.end()) return ERROR_NO_SUCH_ALIAS;
    bool already = false;
    for (const Sid& member : members) {
        if (Contains(found->second.members, member))
            already = true;
        else
            found->second.members.push_back(member);
    }
    return already ? ERROR_MEMBER_IN_ALIAS : 0;
}

DWORD InMemoryAccountDatabase::RemoveLocalGroupMember(const std::wstring& group, const Sid& member) {
    if (const DWORD failure = Record(L"RemoveLocalGroupMember", group)) return failure;
    const auto found = localGroups.find(group);
    if (found == localGroups.end()) return ERROR_NO_SUCH_ALIAS;
    auto& list = found->second.members;
    const auto at = std::find(list.begin(), list.end(), member);
    if (at == list.end()) return ERROR_MEMBER_NOT_IN_ALIAS;
    list.erase(at);
    return 0;
}

DWORD InMemoryAccountDatabase::DisplayGroups(const std::wstring& controllerName, DWORD index,
                                             std::vector<accounts::DisplayGroup>& page) {
    page.clear();
    if (const DWORD failure = Record(L"DisplayGroups", controllerName + L" " + std::to_wstring(index))) return failure;
    // The index of a record is its position plus one; a page resumes after it.
    for (DWORD i = index; i < domainGroups.size() && page.size() < displayPageSize; ++i)
        page.push_back({domainGroups[i], i + 1});
    const DWORD last = page.empty() ? index : page.back().nextIndex;
    return last < domainGroups.size() ? ERROR_MORE_DATA : 0;
}

DWORD InMemoryAccountDatabase::DomainSid(const std::wstring& controllerName, Sid& domain) {
    if (const DWORD failure = Record(L"DomainSid", controllerName)) return failure;
    domain = domainSid;
    return 0;
}

DWORD InMemoryAccountDatabase::WorkstationUser(std::wstring& user) {
    if (const DWORD failure = Record(L"WorkstationUser")) return failure;
    user = workstationUser;
    return 0;
}

DWORD InMemoryAccountDatabase::UserGroups(const std::wstring& controllerName, const std::wstring& user,
                                          std::vector<std::wstring>& groups) {
    if (const DWORD failure = Record(L"UserGroups", controllerName + L" " + user)) return failure;
    groups = userGroups;
    return 0;
}

DWORD InMemoryAccountDatabase::LookupName(const wchar_t* system, const wchar_t* account, void* sid, DWORD& sidSize,
                                          wchar_t* domain, DWORD& domainSize, SID_NAME_USE& use) {
    if (const DWORD failure = Record(L"LookupName", std::wstring(system ? system : L"") + L" " + account))
        return failure;
    const auto found = accounts.find(account);
    if (found == accounts.end()) return ERROR_NONE_MAPPED;
    const Account& entry = found->second;
    const DWORD neededSid = static_cast<DWORD>(entry.sid.Length());
    const DWORD neededDomain = static_cast<DWORD>(entry.domain.size() + 1);
    if (sidSize < neededSid || domainSize < neededDomain) {
        sidSize = neededSid;
        domainSize = neededDomain;
        return ERROR_INSUFFICIENT_BUFFER;
    }
    std::memcpy(sid, entry.sid.Binary().data(), neededSid);
    std::copy(entry.domain.begin(), entry.domain.end(), domain);
    domain[entry.domain.size()] = L'\0';
    sidSize = neededSid;
    domainSize = neededDomain - 1;
    use = entry.use;
    return 0;
}

DWORD InMemoryAccountDatabase::LookupSid(const wchar_t* system, const void* sid, wchar_t* name, DWORD& nameSize,
                                         wchar_t* domain, DWORD& domainSize, SID_NAME_USE& use) {
    const Sid wanted = Sid::FromBinary(
        {static_cast<const std::uint8_t*>(sid), Sid::BinaryLength({static_cast<const std::uint8_t*>(sid), 8})});
    if (const DWORD failure = Record(L"LookupSid", std::wstring(system ? system : L"") + L" " + wanted.StringForm()))
        return failure;
    if (secondLookupSidFailure && nameSize > 32) return secondLookupSidFailure;
    const auto found =
        std::find_if(accounts.begin(), accounts.end(), [&](const auto& entry) { return entry.second.sid == wanted; });
    if (found == accounts.end()) return ERROR_NONE_MAPPED;
    const std::wstring& accountName = found->first;
    const std::wstring& domainName = found->second.domain;
    if (nameSize < accountName.size() + 1 || domainSize < domainName.size() + 1) {
        nameSize = static_cast<DWORD>(accountName.size() + 1);
        domainSize = static_cast<DWORD>(domainName.size() + 1);
        return ERROR_INSUFFICIENT_BUFFER;
    }
    std::copy(accountName.begin(), accountName.end(), name);
    name[accountName.size()] = L'\0';
    std::copy(domainName.begin(), domainName.end(), domain);
    domain[domainName.size()] = L'\0';
    use = found->second.use;
    return 0;
}

} // namespace ih::test
