// DeleteDriverKeys: the driver services' keys and event-log sources, removed
// from every control set on uninstallation.

#include "frame/Paths.h"
#include "frame/Registry.h"
#include "services/ServiceControl.h"

#include <string>
#include <string_view>

namespace ih::services {

namespace {
constexpr std::wstring_view kServiceRoots[] = {
    L"SYSTEM\\CurrentControlSet\\Services\\",
    L"SYSTEM\\ControlSet001\\Services\\",
    L"SYSTEM\\ControlSet002\\Services\\",
};
constexpr std::wstring_view kDriverServices[] = {L"QMXOnAccess control", L"QMXOnAccess filter"};
constexpr std::wstring_view kEventLogSources = L"EventLog\\System";
// Read, set value and create subkey: what deleting subkeys needs.
constexpr REGSAM kRootAccess = 0x2001F;
} // namespace

UINT DeleteDriverKeys(MSIHANDLE /*installation*/) {
    for (const std::wstring_view root : kServiceRoots) {
        RegistryKey services;
        if (OpenRegistryKey(services, HKEY_LOCAL_MACHINE, root, kRootAccess) != ERROR_SUCCESS) continue;
        // A key that is not there is simply skipped.
        for (const std::wstring_view service : kDriverServices) DeleteKeyTree(services.get(), service);
        for (const std::wstring_view service : kDriverServices)
            DeleteKeyTree(services.get(), JoinPath(kEventLogSources, service));
    }
    return ERROR_SUCCESS;
}

} // namespace ih::services
