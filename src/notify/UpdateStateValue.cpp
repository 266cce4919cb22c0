#include "notify/UpdateStateValue.h"

#include "frame/Registry.h"

#include <string>

namespace ih::notify {

namespace {

// Read, create subkey and set value.
constexpr REGSAM kUpdateStatusAccess = 0x2001F;

} // namespace

LONG WriteUpdateStateValue(DWORD state, UpdateStatusSubkey subkey) {
    RegistryKey service;
    LONG result = OpenRegistryKey(service, HKEY_LOCAL_MACHINE, kServiceKey, kUpdateStatusAccess);
    if (result != ERROR_SUCCESS) return result;

    RegistryKey status;
    if (subkey == UpdateStatusSubkey::MustExist) {
        result = OpenRegistryKey(status, service.get(), kUpdateStatusSubkey, kUpdateStatusAccess);
    } else {
        const std::wstring name(kUpdateStatusSubkey);
        result = ::RegCreateKeyExW(service.get(), name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                   kUpdateStatusAccess, nullptr, status.put(), nullptr);
    }
    if (result != ERROR_SUCCESS) return result;

    const std::wstring value(kUpdateStateValue);
    return ::RegSetValueExW(status.get(), value.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&state),
                            sizeof state);
}

} // namespace ih::notify
