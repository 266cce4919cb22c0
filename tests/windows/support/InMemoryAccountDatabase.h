#pragma once
// An account database in memory, for tests of the group logic: local groups
// with members, accounts the look-ups know, a domain with a controller and
// display pages, the join status, the workstation user and its groups, and
// failures injected per operation. Every call is recorded.

#include "accounts/AccountDatabase.h"
#include "security/Sid.h"

#include <map>
#include <string>
#include <vector>

namespace ih::test {

class InMemoryAccountDatabase final : public accounts::AccountDatabase {
public:
    struct Account {
        security::Sid sid;
        std::wstring domain;
        SID_NAME_USE use = SidTypeAlias;
    };
    struct LocalGroup {
        std::vector<security::Sid> members;
        std::wstring comment;
    };

    // Names known to the look-ups (by name and by SID); local groups made by
    // AddLocalGroup are added here with a SID of their own.
    std::map<std::wstring, Account> accounts;
    std::map<std::wstring, LocalGroup> localGroups;

    NETSETUP_JOIN_STATUS joinStatus = NetSetupWorkgroupName;
    std::wstring controller; // empty: no reachable controller
    std::wstring computer = L"WORKSTATION";
    std::vector<std::wstring> domainGroups;
    DWORD displayPageSize = 100;
    security::Sid domainSid;
    std::wstring workstationUser = L"installer";
    std::vector<std::wstring> userGroups;

    // Operation name (as recorded, before the first space) to the error it answers.
    std::map<std::wstring, DWORD> failures;
    // Answers a LookupSid whose buffers were grown (its second call) with this error.
    DWORD secondLookupSidFailure = 0;
    // Every call: "Operation argument".
    std::vector<std::wstring> calls;

    // Adds a known account and answers its SID.
    security::Sid AddAccount(const std::wstring& name, const security::Sid& sid, SID_NAME_USE use = SidTypeAlias,
                             const std::wstring& domain = L"BUILTIN");
    bool Called(const std::wstring& operation) const;

    DWORD JoinStatus(NETSETUP_JOIN_STATUS& status) override;
    DWORD DomainControllerName(std::wstring& name) override;
    DWORD ComputerName(std::wstring& name) override;
    DWORD AddLocalGroup(const std::wstring& name) override;
    DWORD AddDomainGroup(const std::wstring& controllerName, const std::wstring& name) override;
    DWORD DeleteLocalGroup(const std::wstring& name) override;
    DWORD DeleteDomainGroup(const std::wstring& controllerName, const std::wstring& name) override;
    DWORD SetLocalGroupComment(const std::wstring& name, const std::wstring& comment) override;
    DWORD LocalGroupMembers(const std::wstring& group, std::vector<security::Sid>& members,
                            DWORD& totalEntries) override;
    DWORD AddLocalGroupMembers(const std::wstring& group, std::span<const security::Sid> members) override;
    DWORD RemoveLocalGroupMember(const std::wstring& group, const security::Sid& member) override;
    DWORD DisplayGroups(const std::wstring& controllerName, DWORD index,
                        std::vector<accounts::DisplayGroup>& page) override;
    DWORD DomainSid(const std::wstring& controllerName, security::Sid& domain) override;
    DWORD WorkstationUser(std::wstring& user) override;
    DWORD UserGroups(const std::wstring& controllerName, const std::wstring& user,
                     std::vector<std::wstring>& groups) override;
    DWORD LookupName(const wchar_t* system, const wchar_t* account, void* sid, DWORD& sidSize, wchar_t* domain,
                     DWORD& domainSize, SID_NAME_USE& use) override;
    DWORD LookupSid(const wchar_t* system, const void* sid, wchar_t* name, DWORD& nameSize, wchar_t* domain,
                    DWORD& domainSize, SID_NAME_USE& use) override;

private:
    DWORD Record(const std::wstring& operation, const std::wstring& argument = {});
    DWORD nextRid_ = 1000;
};

} // namespace ih::test
