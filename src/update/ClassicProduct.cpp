#include "update/ClassicProduct.h"

#include "frame/Paths.h"
#include "frame/Registry.h"
#include "update/ClassicPackageDescription.h"

#include <shlwapi.h>

namespace ih::update {

namespace {

constexpr DWORD kPathCapacity = 260; // characters, terminator included
constexpr DWORD kDescriptionValueCapacity = 1024;
constexpr DWORD kInstalledStatuses[] = {16, 32};

} // namespace

bool ReadClassicPath(HKEY record, std::wstring& path) {
    wchar_t buffer[kPathCapacity] = {};
    DWORD type = 0, size = sizeof buffer;
    if (::RegQueryValueExW(record, L"Path", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    // A value stored without its terminator ends at its stored length; one that
    // leaves no room for a terminator is too long.
    const std::wstring_view stored(buffer, size / sizeof(wchar_t));
    const std::size_t end = stored.find(L'\0');
    if (end == std::wstring_view::npos && stored.size() >= kPathCapacity) return false;
    path.assign(stored.substr(0, end));
    return true;
}

bool IsClassicProductInstalled(std::wstring& folder) {
    RegistryKey record;
    if (OpenRegistryKey(record, HKEY_LOCAL_MACHINE, kClassicProductKey, KEY_QUERY_VALUE) != ERROR_SUCCESS) return false;

    DWORD status = 0;
    if (ReadRegistryDword(record.get(), L"Status", status) != ERROR_SUCCESS) return false;
    bool known = false;
    for (const DWORD installed : kInstalledStatuses) known = known || status == installed;
    if (!known) throw ClassicProductError("the earlier generation's record has an unexpected status");

    if (!ReadClassicPath(record.get(), folder)) return false;
    while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
    if (::PathFileExistsW(JoinPath(folder, L"ZORL.DLL").c_str())) return true;

    // The record outlived its product: remove it without a word.
    record.reset();
    RegistryKey parent;
    constexpr REGSAM kParentAccess = 0x2001F; // read, create subkey, set value
    if (OpenRegistryKey(parent, HKEY_LOCAL_MACHINE, kClassicProductParentKey, kParentAccess) == ERROR_SUCCESS)
        DeleteKeyTree(parent.get(), kClassicProductSubkey);
    return false;
}

std::vector<std::wstring> ReadClassicWindowTitles() {
    std::wstring path;
    {
        RegistryKey record;
        if (OpenRegistryKey(record, HKEY_LOCAL_MACHINE, kClassicProductKey, KEY_READ) == ERROR_SUCCESS &&
            !ReadClassicPath(record.get(), path))
            path.clear();
    }
    const std::wstring description = JoinPath(path, kClassicDescriptionFile);

    return SelectClassicWindowTitles([&description](std::wstring_view key) {
        const std::wstring name(key);
        wchar_t value[kDescriptionValueCapacity] = {};
        const DWORD length = ::GetPrivateProfileStringW(L"PACKAGE", name.c_str(), L"", value, kDescriptionValueCapacity,
                                                        description.c_str());
        return std::wstring(value, length);
    });
}

void CloseClassicWindows() {
    for (const std::wstring& title : ReadClassicWindowTitles()) {
        if (const HWND window = ::FindWindowW(nullptr, title.c_str())) ::PostMessageW(window, WM_CLOSE, 0, 0);
    }
}

} // namespace ih::update
