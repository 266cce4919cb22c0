#pragma once
// The machine's and its domain's account database: the network-management and
// account look-up calls the group operations make, one method each, answering
// the platform's own error code (0 for success). Everything the group
// operations decide (result mapping, paging, comparisons, buffer growth) sits
// above this line, so it runs the same against the system and against the
// in-memory database of the tests. The library always passes SystemAccounts().
//
// Platform buffers never cross this line: what the platform returns is copied
// into the out-parameters and its buffer released inside the call.

#include "security/Sid.h"

#include <windows.h>
#include <lm.h>

#include <span>
#include <string>
#include <vector>

namespace ih::accounts {

// One record of a display page of the domain's global groups.
struct DisplayGroup {
    std::wstring name;
    DWORD nextIndex = 0;
};

class AccountDatabase {
public:
    virtual ~AccountDatabase() = default;

    // NetGetJoinInformation on the local machine.
    virtual DWORD JoinStatus(NETSETUP_JOIN_STATUS& status) = 0;
    // NetGetDCName(null, null): the primary domain's controller, "\\" + name.
    virtual DWORD DomainControllerName(std::wstring& name) = 0;
    // GetComputerNameW with a buffer of 16 characters.
    virtual DWORD ComputerName(std::wstring& name) = 0;

    // NetLocalGroupAdd / NetGroupAdd at level 0 (name only).
    virtual DWORD AddLocalGroup(const std::wstring& name) = 0;
    virtual DWORD AddDomainGroup(const std::wstring& controller, const std::wstring& name) = 0;
    // NetLocalGroupDel / NetGroupDel.
    virtual DWORD DeleteLocalGroup(const std::wstring& name) = 0;
    virtual DWORD DeleteDomainGroup(const std::wstring& controller, const std::wstring& name) = 0;
    // NetLocalGroupSetInfo at level 1: the group's name and description.
    virtual DWORD SetLocalGroupComment(const std::wstring& name, const std::wstring& comment) = 0;

    // NetLocalGroupGetMembers at level 0 in one piece (MAX_PREFERRED_LENGTH):
    // the entries read and the total the platform announced. 234 means the
    // listing did not come in one piece.
    virtual DWORD LocalGroupMembers(const std::wstring& group, std::vector<security::Sid>& members,
                                    DWORD& totalEntries) = 0;
    // NetLocalGroupAddMembers / NetLocalGroupDelMembers at level 0.
    virtual DWORD AddLocalGroupMembers(const std::wstring& group, std::span<const security::Sid> members) = 0;
    virtual DWORD RemoveLocalGroupMember(const std::wstring& group, const security::Sid& member) = 0;

    // NetQueryDisplayInformation at level 3 (groups), 100 entries asked for,
    // from `index`; 234 means more entries follow this page.
    virtual DWORD DisplayGroups(const std::wstring& controller, DWORD index, std::vector<DisplayGroup>& page) = 0;
    // NetUserModalsGet at level 2: the domain's identifier.
    virtual DWORD DomainSid(const std::wstring& controller, security::Sid& domain) = 0;
    // NetWkstaUserGetInfo at level 0 on the local machine: the user's name.
    virtual DWORD WorkstationUser(std::wstring& user) = 0;
    // NetUserGetGroups at level 0 in one piece: the names of the entries read.
    virtual DWORD UserGroups(const std::wstring& controller, const std::wstring& user,
                             std::vector<std::wstring>& groups) = 0;

    // LookupAccountNameW and LookupAccountSidW with the caller's buffers, as
    // the platform has them: sizes in bytes (SID) and characters (texts); a
    // too small buffer answers 122 with the sizes needed. `system` null is the
    // local machine.
    virtual DWORD LookupName(const wchar_t* system, const wchar_t* account, void* sid, DWORD& sidSize, wchar_t* domain,
                             DWORD& domainSize, SID_NAME_USE& use) = 0;
    virtual DWORD LookupSid(const wchar_t* system, const void* sid, wchar_t* name, DWORD& nameSize, wchar_t* domain,
                            DWORD& domainSize, SID_NAME_USE& use) = 0;
};

// The platform's own account database (netapi32 and advapi32).
AccountDatabase& SystemAccounts();

} // namespace ih::accounts
