// The account database over the platform: netapi32 for groups and the
// workstation, advapi32 for look-ups. Each method is the one call it names,
// with what the platform returns copied out and its buffer released here.

#include "accounts/AccountDatabase.h"

#include "frame/Handles.h"
#include "security/PlatformSid.h"

#include <cstdint>

namespace ih::accounts {

namespace {

using security::Sid;

LPWSTR Text(const std::wstring& text) { return const_cast<LPWSTR>(text.c_str()); }

// A SID the platform handed out, as a Sid; an invalid one becomes empty.
Sid CopySid(PSID sid) { return sid && ::IsValidSid(sid) ? security::SidFromPlatform(sid) : Sid(); }

class SystemAccountDatabase final : public AccountDatabase {
public:
    DWORD JoinStatus(NETSETUP_JOIN_STATUS& status) override {
        UniqueNetApiBuffer name;
        LPWSTR rawName = nullptr;
        const DWORD result = ::NetGetJoinInformation(nullptr, &rawName, &status);
        name.reset(rawName);
        return result;
    }

    DWORD DomainControllerName(std::wstring& name) override {
        UniqueNetApiBuffer buffer;
        LPBYTE raw = nullptr;
        const DWORD result = ::NetGetDCName(nullptr, nullptr, &raw);
        buffer.reset(raw);
        if (result == NERR_Success && raw) name = reinterpret_cast<const wchar_t*>(raw);
        return result;
    }

    DWORD ComputerName(std::wstring& name) override {
        wchar_t buffer[16] = {};
        DWORD size = 16;
        if (!::GetComputerNameW(buffer, &size)) return ::GetLastError();
        name.assign(buffer, size);
        return ERROR_SUCCESS;
    }

    DWORD AddLocalGroup(const std::wstring& name) override {
        LOCALGROUP_INFO_0 info{Text(name)};
        DWORD parameterError = 0;
        return ::NetLocalGroupAdd(nullptr, 0, reinterpret_cast<LPBYTE>(&info), &parameterError);
    }

    DWORD AddDomainGroup(const std::wstring& controller, const std::wstring& name) override {
        GROUP_INFO_0 info{Text(name)};
        DWORD parameterError = 0;
        return ::NetGroupAdd(controller.c_str(), 0, reinterpret_cast<LPBYTE>(&info), &parameterError);
    }

    DWORD DeleteLocalGroup(const std::wstring& name) override { return ::NetLocalGroupDel(nullptr, name.c_str()); }

    DWORD DeleteDomainGroup(const std::wstring& controller, const std::wstring& name) override {
        return ::NetGroupDel(controller.c_str(), name.c_str());
    }

    DWORD SetLocalGroupComment(const std::wstring& name, const std::wstring& comment) override {
        LOCALGROUP_INFO_1 info{Text(name), Text(comment)};
        DWORD parameterError = 0;
        return ::NetLocalGroupSetInfo(nullptr, name.c_str(), 1, reinterpret_cast<LPBYTE>(&info), &parameterError);
    }

    DWORD LocalGroupMembers(const std::wstring& group, std::vector<Sid>& members, DWORD& totalEntries) override {
        UniqueNetApiBuffer buffer;
        LPBYTE raw = nullptr;
        DWORD read = 0;
        totalEntries = 0;
        const DWORD result = ::NetLocalGroupGetMembers(nullptr, group.c_str(), 0, &raw, MAX_PREFERRED_LENGTH, &read,
                                                       &totalEntries, nullptr);
        buffer.reset(raw);
        members.clear();
        if (raw) {
            const auto* records = reinterpret_cast<const LOCALGROUP_MEMBERS_INFO_0*>(raw);
            for (DWORD i = 0; i < read; ++i) members.push_back(CopySid(records[i].lgrmi0_sid));
        }
        return result;
    }

    DWORD AddLocalGroupMembers(const std::wstring& group, std::span<const Sid> members) override {
        std::vector<LOCALGROUP_MEMBERS_INFO_0> records;
        records.reserve(members.size());
        for (const Sid& member : members) records.push_back({security::PlatformSid(member)});
        return ::NetLocalGroupAddMembers(nullptr, group.c_str(), 0, reinterpret_cast<LPBYTE>(records.data()),
                                         static_cast<DWORD>(records.size()));
    }

    DWORD RemoveLocalGroupMember(const std::wstring& group, const Sid& member) override {
        LOCALGROUP_MEMBERS_INFO_0 record{security::PlatformSid(member)};
        return ::NetLocalGroupDelMembers(nullptr, group.c_str(), 0, reinterpret_cast<LPBYTE>(&record), 1);
    }

    DWORD DisplayGroups(const std::wstring& controller, DWORD index, std::vector<DisplayGroup>& page) override {
        UniqueNetApiBuffer buffer;
        void* raw = nullptr;
        DWORD returned = 0;
        const DWORD result =
            ::NetQueryDisplayInformation(controller.c_str(), 3, index, 100, MAX_PREFERRED_LENGTH, &returned, &raw);
        buffer.reset(raw);
        page.clear();
        if (raw) {
            const auto* records = static_cast<const NET_DISPLAY_GROUP*>(raw);
            for (DWORD i = 0; i < returned; ++i)
                page.push_back({records[i].grpi3_name ? records[i].grpi3_name : L"", records[i].grpi3_next_index});
        }
        return result;
    }

    DWORD DomainSid(const std::wstring& controller, Sid& domain) override {
        UniqueNetApiBuffer buffer;
        LPBYTE raw = nullptr;
        const DWORD result = ::NetUserModalsGet(controller.c_str(), 2, &raw);
        buffer.reset(raw);
        domain = {};
        if (result == NERR_Success && raw)
            domain = CopySid(reinterpret_cast<const USER_MODALS_INFO_2*>(raw)->usrmod2_domain_id);
        return result;
    }

    DWORD WorkstationUser(std::wstring& user) override {
        UniqueNetApiBuffer buffer;
        LPBYTE raw = nullptr;
        const DWORD result = ::NetWkstaUserGetInfo(nullptr, 0, &raw);
        buffer.reset(raw);
        if (result == NERR_Success && raw) {
            const wchar_t* name = reinterpret_cast<const WKSTA_USER_INFO_0*>(raw)->wkui0_username;
            user = name ? name : L"";
        }
        return result;
    }

    DWORD UserGroups(const std::wstring& controller, const std::wstring& user,
                     std::vector<std::wstring>& groups) override {
        UniqueNetApiBuffer buffer;
        LPBYTE raw = nullptr;
        DWORD read = 0, total = 0;
        const DWORD result =
            ::NetUserGetGroups(controller.c_str(), user.c_str(), 0, &raw, MAX_PREFERRED_LENGTH, &read, &total);
        buffer.reset(raw);
        groups.clear();
        if (result == NERR_Success && raw) {
            const auto* records = reinterpret_cast<const GROUP_USERS_INFO_0*>(raw);
            for (DWORD i = 0; i < read; ++i) groups.emplace_back(records[i].grui0_name ? records[i].grui0_name : L"");
        }
        return result;
    }

    DWORD LookupName(const wchar_t* system, const wchar_t* account, void* sid, DWORD& sidSize, wchar_t* domain,
                     DWORD& domainSize, SID_NAME_USE& use) override {
        if (::LookupAccountNameW(system, account, sid, &sidSize, domain, &domainSize, &use)) return ERROR_SUCCESS;
        return ::GetLastError();
    }

    DWORD LookupSid(const wchar_t* system, const void* sid, wchar_t* name, DWORD& nameSize, wchar_t* domain,
                    DWORD& domainSize, SID_NAME_USE& use) override {
        if (::LookupAccountSidW(system, const_cast<void*>(sid), name, &nameSize, domain, &domainSize, &use))
            return ERROR_SUCCESS;
        return ::GetLastError();
    }
};

SystemAccountDatabase systemAccounts;

} // namespace

AccountDatabase& SystemAccounts() { return systemAccounts; }

} // namespace ih::accounts
