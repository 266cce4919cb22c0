#include "frame/Registry.h"

#include <string>

namespace ih {

LONG OpenRegistryKey(RegistryKey& key, HKEY parent, std::wstring_view subKeyName, REGSAM access) {
    const std::wstring name(subKeyName);
    HKEY opened = nullptr;
    const LONG result = ::RegOpenKeyExW(parent, name.c_str(), 0, access, &opened);
    if (result == ERROR_SUCCESS) key.reset(opened);
    return result;
}

LONG CreateRegistryKey(RegistryKey& key, HKEY parent, std::wstring_view subKeyName, REGSAM access) {
    const std::wstring name(subKeyName);
    HKEY created = nullptr;
    const LONG result = ::RegCreateKeyExW(parent, name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                                          &created, nullptr);
    if (result == ERROR_SUCCESS) key.reset(created);
    return result;
}

LONG WriteRegistryDword(HKEY key, std::wstring_view valueName, DWORD value) {
    const std::wstring name(valueName);
    return ::RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

LONG ReadRegistryDword(HKEY key, std::wstring_view valueName, DWORD& value) {
    const std::wstring name(valueName);
    DWORD type = 0, stored = 0, size = sizeof stored;
    const LONG result = ::RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&stored), &size);
    if (result != ERROR_SUCCESS) return result;
    if (type != REG_DWORD || size != sizeof stored) return ERROR_INVALID_DATATYPE;
    value = stored;
    return ERROR_SUCCESS;
}

LONG DeleteKeyTree(HKEY parent, std::wstring_view subKeyName) {
    RegistryKey key;
    LONG result = OpenRegistryKey(key, parent, subKeyName, KEY_READ | KEY_WRITE);
    if (result != ERROR_SUCCESS) return result;
    for (;;) {
        wchar_t child[257] = {};
        DWORD length = 257;
        result = ::RegEnumKeyExW(key.get(), 0, child, &length, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS) break;
        if (result != ERROR_SUCCESS) return result;
        result = DeleteKeyTree(key.get(), std::wstring_view(child, length));
        if (result != ERROR_SUCCESS) return result;
    }
    key.reset(); // closed before the key itself is deleted
    const std::wstring name(subKeyName);
    return ::RegDeleteKeyW(parent, name.c_str());
}

} // namespace ih
