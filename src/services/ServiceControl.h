#pragma once
// The service control actions: starting the on-access driver services,
// running the main service as the local service account, removing the
// product's service on rollback, and removing the driver services' keys.

#include <windows.h>
#include <msi.h>

#include <string_view>

namespace ih::services {

inline constexpr std::wstring_view kMainService = L"QMXService";
inline constexpr std::wstring_view kRollbackService = L"Kestro Anti-Virus";
inline constexpr std::wstring_view kLocalServiceAccount = L"NT AUTHORITY\\LocalService";

// Starts "QMXOnAccess control" unless it runs already, and then
// "QMXOnAccess filter". Always 0.
UINT StartDriverServices(MSIHANDLE installation);

// Makes "QMXService" run as "NT AUTHORITY\LocalService". 0 or 1603.
UINT SetServiceXP(MSIHANDLE installation);

// Stops (without waiting) and deletes "Kestro Anti-Virus", or "QMXService"
// when the first does not exist. Always 0.
UINT RollbackDeleteService(MSIHANDLE installation);

// Removes the driver services' keys and event-log sources from every control
// set. Always 0.
UINT DeleteDriverKeys(MSIHANDLE installation);

} // namespace ih::services
