// DeleteDriverKeys: the driver services' keys and event-log sources, removed
// from every control set on uninstallation.

#include "frame/Registry.h"
#include "services/ServiceControl.h"

#include <string_view>

namespace ih::services {

namespace {
constexpr std::wstring_view kServiceRoots[] = {
    L"SYSTEM\\CurrentControlSet\\Services\\",
    L"SYSTEM\\ControlSet001\\Services\\",
    L"SYSTEM\\ControlSet002\\Services\\",
};
constexpr std::wstring_view kDriverKeys[] = {
    L"QMXOnAccess control",
    L"QMXOnAccess filter",
    L"EventLog\\System\\QMXOnAccess control",
    L"EventLog\\System\\QMXOnAccess filter",
};
// Read, set value and create subkey: what deleting subkeys needs.
constexpr REGSAM kRootAccess = 0x2001F;
} // namespace

UINT DeleteDriverKeys(MSIHANDLE /*installation*/) {
    for (const std::wstring_view root : kServiceRoots) {
        RegistryKey services;
        if (OpenRegistryKey(services, HKEY_LOCAL_MACHINE, root, kRootAccess) != ERROR_SUCCESS) continue;
        // A key that is not there is simply skipped.
        for (const std::wstring_view key : kDriverKeys) DeleteKeyTree(services.get(), key);
    }
    return ERROR_SUCCESS;
}

} // namespace ih::services
