#pragma once
// The product's groups and the registry value through which the on-access
// driver learns its group's identifier.

#include <windows.h>

namespace ih::accounts {

// Local groups (aliases) of the machine.
inline constexpr wchar_t kUserGroup[] = L"KestroUser";
inline constexpr wchar_t kPowerUserGroup[] = L"KestroPowerUser";
inline constexpr wchar_t kAdministratorGroup[] = L"KestroAdministrator";
inline constexpr wchar_t kOnAccessGroup[] = L"KestroOnAccess";
// Global groups of the machine's domain, made on its controller.
inline constexpr wchar_t kDomainUserGroup[] = L"KestroDomainUser";
inline constexpr wchar_t kDomainPowerUserGroup[] = L"KestroDomainPowerUser";
inline constexpr wchar_t kDomainAdministratorGroup[] = L"KestroDomainAdministrator";

// Under HKEY_LOCAL_MACHINE; the value is the binary SID of kOnAccessGroup.
inline constexpr wchar_t kOnAccessKey[] = L"SYSTEM\\CurrentControlSet\\Services\\QMXOnAccess Control";
inline constexpr wchar_t kOnAccessSidValue[] = L"QMXOnAccessSid";
inline constexpr REGSAM kOnAccessKeyAccess = KEY_READ | KEY_WRITE; // 0x2001F

} // namespace ih::accounts
