#include "notify/SecurityCenterActions.h"

#include "frame/ActionLog.h"
#include "frame/Handles.h"
#include "frame/Registry.h"
#include "notify/WindowsSecurityCenter.h"

#include <string>

namespace ih::notify {

namespace {

constexpr REGSAM kMonitoringAccess = KEY_READ | KEY_CREATE_SUB_KEY | KEY_SET_VALUE; // 0x2001F

// Failures to open the key or to delete the value change nothing for the installation.
void ClearMonitoringFlag() {
    RegistryKey key;
    if (OpenRegistryKey(key, HKEY_LOCAL_MACHINE, kMonitoringKey, kMonitoringAccess) != ERROR_SUCCESS) return;
    const std::wstring value(kMonitoringValue);
    ::RegDeleteValueW(key.get(), value.c_str());
}

} // namespace

UINT InstallSecurityCenter(MSIHANDLE /*installation*/) {
    const ActionLog log;
    // The installer's thread is not initialised for COM; an apartment the host
    // already has is kept as it is.
    const ComApartment com;
    const HRESULT result = CWindowsSecurityCenter().Install();
    if (FAILED(result)) log.Write(L"Error returned from CWindowsSecurityCenter::Install() was: %d", result);
    return ERROR_SUCCESS;
}

UINT UninstallSecurityCenter(MSIHANDLE /*installation*/) {
    const ActionLog log;
    {
        const ComApartment com;
        const HRESULT result = CWindowsSecurityCenter().Uninstall();
        if (FAILED(result)) log.Write(L"Error returned from CWindowsSecurityCenter::Uninstall() was: %d", result);
    }
    ClearMonitoringFlag();
    return ERROR_SUCCESS;
}

} // namespace ih::notify
