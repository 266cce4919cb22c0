#include "accounts/AccountLookup.h"

#include "frame/HResult.h"
#include "security/SecurityError.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace ih::accounts {

namespace {

using security::Sid;
using security::SidAccount;

// What the platform offers a look-up first: room for any SID (68 bytes) and a
// domain name of 128 characters; a name of 32 characters for a SID's look-up.
constexpr DWORD kFirstSidSize = 68;
constexpr DWORD kFirstDomainSize = 128;
constexpr DWORD kFirstAccountNameSize = 32;

std::wstring TextOf(const std::vector<wchar_t>& buffer) {
    return std::wstring(buffer.begin(), std::find(buffer.begin(), buffer.end(), L'\0'));
}

} // namespace

Sid LookUpAccount(AccountDatabase& accounts, const std::wstring& account, const wchar_t* system) {
    std::vector<std::uint8_t> sid(kFirstSidSize);
    std::vector<wchar_t> domain(kFirstDomainSize);
    SID_NAME_USE use = SidTypeUnknown;
    DWORD sidSize = static_cast<DWORD>(sid.size());
    DWORD domainSize = static_cast<DWORD>(domain.size());
    DWORD result = accounts.LookupName(system, account.c_str(), sid.data(), sidSize, domain.data(), domainSize, use);
    if (result == ERROR_INSUFFICIENT_BUFFER) {
        sid.resize(std::max<std::size_t>(sid.size(), sidSize));
        domain.resize(std::max<std::size_t>(domain.size(), domainSize));
        sidSize = static_cast<DWORD>(sid.size());
        domainSize = static_cast<DWORD>(domain.size());
        result = accounts.LookupName(system, account.c_str(), sid.data(), sidSize, domain.data(), domainSize, use);
    }
    if (result != ERROR_SUCCESS || !Sid::IsValidBinarySid(sid)) return {};
    domain.back() = L'\0';
    return Sid(Sid::FromBinary(sid),
               SidAccount{static_cast<std::int32_t>(use), account, TextOf(domain), system ? system : L""});
}

const std::wstring& LocalAccountName(AccountDatabase& accounts, Sid& sid) {
    if (!sid.AccountName().empty() || !sid.IsValid()) return sid.AccountName();
    std::vector<wchar_t> name(kFirstAccountNameSize);
    std::vector<wchar_t> domain(kFirstAccountNameSize);
    const std::wstring system = sid.SystemName();
    const wchar_t* systemName = system.empty() ? nullptr : system.c_str();
    SID_NAME_USE use = SidTypeUnknown;
    DWORD nameSize = static_cast<DWORD>(name.size());
    DWORD domainSize = static_cast<DWORD>(domain.size());
    DWORD result =
        accounts.LookupSid(systemName, sid.Binary().data(), name.data(), nameSize, domain.data(), domainSize, use);
    if (result == ERROR_INSUFFICIENT_BUFFER) {
        name.resize(std::max<std::size_t>(name.size(), nameSize));
        domain.resize(std::max<std::size_t>(domain.size(), domainSize));
        nameSize = static_cast<DWORD>(name.size());
        domainSize = static_cast<DWORD>(domain.size());
        result =
            accounts.LookupSid(systemName, sid.Binary().data(), name.data(), nameSize, domain.data(), domainSize, use);
        if (result != ERROR_SUCCESS)
            throw security::SecurityError(HResultFromWin32(static_cast<std::int32_t>(result)),
                                          "the local name of an identifier could not be looked up");
    }
    if (result == ERROR_SUCCESS) {
        name.back() = L'\0';
        domain.back() = L'\0';
        sid.SetAccount(SidAccount{static_cast<std::int32_t>(use), TextOf(name), TextOf(domain), system});
    } else if (result == ERROR_NONE_MAPPED) {
        sid.SetAccount(SidAccount{security::kSidTypeUnknown, {}, {}, system});
    }
    return sid.AccountName();
}

} // namespace ih::accounts
