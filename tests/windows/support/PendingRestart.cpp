#include "support/PendingRestart.h"

#include <windows.h>

#include <string_view>

namespace ih::test {

namespace {

constexpr wchar_t kSessionManager[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr wchar_t kValue[] = L"PendingFileRenameOperations";

bool ReadValue(std::vector<wchar_t>& data) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
    DWORD size = 0;
    LONG result = ::RegQueryValueExW(key, kValue, nullptr, nullptr, nullptr, &size);
    if (result == ERROR_SUCCESS) {
        data.assign(size / sizeof(wchar_t) + 1, L'\0');
        result = ::RegQueryValueExW(key, kValue, nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()), &size);
        data.resize(size / sizeof(wchar_t));
    }
    ::RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

} // namespace

PendingRestartOperations::PendingRestartOperations() { existed_ = ReadValue(before_); }

PendingRestartOperations::~PendingRestartOperations() {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    if (existed_)
        ::RegSetValueExW(key, kValue, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(before_.data()),
                         static_cast<DWORD>(before_.size() * sizeof(wchar_t)));
    else
        ::RegDeleteValueW(key, kValue);
    ::RegCloseKey(key);
}

int PendingRestartOperations::DeletionsOf(const std::wstring& path) const {
    std::vector<wchar_t> data;
    if (!ReadValue(data)) return 0;
    // Pairs of entries: the source in NT form, then the new name, empty for a deletion.
    std::vector<std::wstring> entries;
    std::size_t start = 0;
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (data[i] != L'\0') continue;
        entries.emplace_back(data.data() + start, i - start);
        start = i + 1;
    }
    int count = 0;
    const std::wstring source = L"\\??\\" + path;
    for (std::size_t i = 0; i + 1 < entries.size(); i += 2) {
        if (entries[i].empty()) break; // the list's end
        if (_wcsicmp(entries[i].c_str(), source.c_str()) == 0 && entries[i + 1].empty()) ++count;
    }
    return count;
}

} // namespace ih::test
