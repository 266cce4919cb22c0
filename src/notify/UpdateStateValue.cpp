#include "notify/UpdateStateValue.h"

#include "frame/Registry.h"

namespace ih::notify {

namespace {

constexpr REGSAM kUpdateStatusAccess = KEY_READ | KEY_CREATE_SUB_KEY | KEY_SET_VALUE; // 0x2001F

} // namespace

LONG WriteUpdateStateValue(DWORD state, UpdateStatusSubkey subkey) {
    RegistryKey service;
    LONG result = OpenRegistryKey(service, HKEY_LOCAL_MACHINE, kServiceKey, kUpdateStatusAccess);
    if (result != ERROR_SUCCESS) return result;

    RegistryKey status;
    result = subkey == UpdateStatusSubkey::MustExist
                 ? OpenRegistryKey(status, service.get(), kUpdateStatusSubkey, kUpdateStatusAccess)
                 : CreateRegistryKey(status, service.get(), kUpdateStatusSubkey, kUpdateStatusAccess);
    if (result != ERROR_SUCCESS) return result;
    return WriteRegistryDword(status.get(), kUpdateStateValue, state);
}

} // namespace ih::notify
