#include "update/TerminalServices.h"

#include "frame/LibraryEntry.h"
#include "frame/MultiString.h"
#include "frame/Registry.h"

#include <string>
#include <vector>

namespace ih::update {

namespace {

constexpr DWORD kTerminalServicesSuites = VER_SUITE_TERMINAL | VER_SUITE_SINGLEUSERTS; // 0x110
constexpr BYTE kAnyOfTheBits = VER_OR;                                                 // 7

using VerSetConditionMaskFunction = ULONGLONG(WINAPI*)(ULONGLONG, DWORD, BYTE);
using VerifyVersionInfoAFunction = BOOL(WINAPI*)(OSVERSIONINFOEXA*, DWORD, DWORDLONG);

bool SystemVersion(DWORD& platformId, DWORD& majorVersion) {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!::GetVersionExA(&info)) return false;
#pragma GCC diagnostic pop
    platformId = info.dwPlatformId;
    majorVersion = info.dwMajorVersion;
    return true;
}

std::optional<bool> SystemTerminalServicesSuite() {
    const auto setConditionMask = FindLoadedEntry<VerSetConditionMaskFunction>(L"NTDLL.DLL", "VerSetConditionMask");
    const auto verifyVersionInfo = FindLoadedEntry<VerifyVersionInfoAFunction>(L"KERNEL32.DLL", "VerifyVersionInfoA");
    if (!setConditionMask || !verifyVersionInfo) return std::nullopt;
    OSVERSIONINFOEXA wanted{};
    wanted.dwOSVersionInfoSize = sizeof wanted;
    wanted.wSuiteMask = static_cast<WORD>(kTerminalServicesSuites);
    const ULONGLONG condition = setConditionMask(0, VER_SUITENAME, kAnyOfTheBits);
    return verifyVersionInfo(&wanted, VER_SUITENAME, condition) != FALSE;
}

} // namespace

bool TerminalServicesPresent(const TerminalServicesFacts& facts) {
    DWORD platformId = 0, majorVersion = 0;
    if (!facts.version(platformId, majorVersion) || platformId != VER_PLATFORM_WIN32_NT) return false;
    if (majorVersion > 4) return facts.terminalServicesSuite().value_or(false);
    return facts.productSuiteNamesTerminalServer();
}

TerminalServicesFacts SystemTerminalServicesFacts() {
    return {SystemVersion, SystemTerminalServicesSuite,
            [] { return ProductSuiteNamesTerminalServer(HKEY_LOCAL_MACHINE, kProductOptionsKey); }};
}

bool ProductSuiteNamesTerminalServer(HKEY root, std::wstring_view subKey) {
    RegistryKey key;
    if (OpenRegistryKey(key, root, subKey, KEY_QUERY_VALUE) != ERROR_SUCCESS) return false;
    DWORD type = 0, size = 0;
    if (::RegQueryValueExW(key.get(), L"ProductSuite", nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_MULTI_SZ)
        return false;
    std::vector<wchar_t> data(size / sizeof(wchar_t) + 1, L'\0');
    if (::RegQueryValueExW(key.get(), L"ProductSuite", nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) !=
            ERROR_SUCCESS ||
        type != REG_MULTI_SZ)
        return false;
    // The stored length bounds the list, terminated or not.
    return MultiStringHasEntry(std::wstring_view(data.data(), size / sizeof(wchar_t)), L"Terminal Server");
}

} // namespace ih::update
