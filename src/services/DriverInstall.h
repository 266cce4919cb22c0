#pragma once
// InstallUnsignedDrivers: the deferred action that copies the on-access
// drivers of one set into the system's driver folder and creates their
// file-system driver services (InstallAndLoadDrivers).

#include "frame/ActionLog.h"

#include <windows.h>
#include <msi.h>

#include <cstdint>
#include <string_view>

namespace ih::services {

inline constexpr std::wstring_view kFilterService = L"QMXOnAccess Filter";
inline constexpr std::wstring_view kControlService = L"QMXOnAccess Control";
inline constexpr std::wstring_view kDriverLoadOrderGroup = L"AntiVirus";

// CustomActionData: the source folder, then the published driver version,
// separated by a double quote. 1603 on bad data only.
UINT InstallUnsignedDrivers(MSIHANDLE installation);

// Copies both drivers from `driverFolder` and creates their services. 0, or a
// negative HRESULT: E_UNEXPECTED when the system folder or the Service Control
// Manager is not available, else the platform's error in HRESULT form. A
// service that exists already counts as created.
std::int32_t InstallAndLoadDrivers(std::wstring_view driverFolder, const ActionLog& log);

} // namespace ih::services
