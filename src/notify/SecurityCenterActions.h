#pragma once
// The actions that register the product with Security Center and remove it.

#include <windows.h>
#include <msi.h>

#include <string_view>

namespace ih::notify {

// The monitoring flag Security Center keeps for the product, below HKLM.
inline constexpr std::wstring_view kMonitoringKey =
    L"SOFTWARE\\Microsoft\\Security Center\\Monitoring\\KestroAntiVirus";
inline constexpr std::wstring_view kMonitoringValue = L"Disablemonitoring";

// Both ignore the installation and return 0: a failure is only logged.
UINT InstallSecurityCenter(MSIHANDLE installation);
UINT UninstallSecurityCenter(MSIHANDLE installation);

} // namespace ih::notify
