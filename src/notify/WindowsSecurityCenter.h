#pragma once
// The product's entry in Windows Security Center: an instance of the WMI class
// "AntiVirusProduct" in "\\.\root\SecurityCenter", keyed by the product's fixed
// identifier. On systems without Security Center every operation succeeds at
// once. The caller initialises COM on its thread.

#include <windows.h>

#include <string_view>

namespace ih::notify {

inline constexpr std::wstring_view kSecurityCenterNamespace = L"\\\\.\\root\\SecurityCenter";
inline constexpr std::wstring_view kAntiVirusProductClass = L"AntiVirusProduct";
inline constexpr std::wstring_view kProductInstanceGuid = L"{3F13C776-3CBE-4DE9-8BF6-09E5183CA2BD}";
inline constexpr std::wstring_view kProductInstancePath =
    L"AntiVirusProduct.instanceGuid=\"{3F13C776-3CBE-4DE9-8BF6-09E5183CA2BD}\"";
inline constexpr std::wstring_view kProductDisplayName = L"Kestro Anti-Virus";

// Whether this system has Security Center (GetVersionExW, extended structure).
bool SecurityCenterPresent();

class CWindowsSecurityCenter {
public:
    // Registers the product unless it is registered already (then its flags
    // are left as they are). The first failure, or the registration's result.
    HRESULT Install();

    // Removes the product's instance; an instance that is not there is success.
    HRESULT Uninstall();

    // Changes the on-access flag of the existing instance; never creates one.
    HRESULT SetOnAccessEnabled(bool enabled);
};

} // namespace ih::notify
