// Reading the script lists through the platform's private-profile reader.

#include "scripts/ScriptList.h"

#include <windows.h>

namespace ih::scripts {

namespace {

// The longest line kept: the longest command line a process can be started with.
constexpr DWORD kLongestValue = 32767;

std::wstring ReadProfileValue(const std::wstring& file, const std::wstring& section, const std::wstring& key) {
    std::wstring buffer(1024, L'\0');
    for (;;) {
        const DWORD capacity = static_cast<DWORD>(buffer.size());
        const DWORD length =
            ::GetPrivateProfileStringW(section.c_str(), key.c_str(), L"", buffer.data(), capacity, file.c_str());
        // A value that fills the buffer may have been cut: read it again in a
        // larger one, up to the longest line kept.
        if (length + 1 < capacity || capacity > kLongestValue) {
            buffer.resize(length);
            return buffer;
        }
        buffer.resize(capacity * 2 > kLongestValue + 1 ? kLongestValue + 1 : capacity * 2);
    }
}

} // namespace

bool ReadScriptList(std::wstring_view configFile, std::wstring_view section, std::wstring_view keyBase,
                    std::vector<std::wstring>& list) {
    if (configFile.empty() || section.empty() || keyBase.empty()) return false;
    const std::wstring file(configFile), sectionName(section);
    CollectScriptList([&](const std::wstring& key) { return ReadProfileValue(file, sectionName, key); }, keyBase, list);
    return true;
}

} // namespace ih::scripts
