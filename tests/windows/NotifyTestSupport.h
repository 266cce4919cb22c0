#pragma once
// What the notice and Security Center tests share: the component manager and
// WMI locator fixtures registered in the prefix, their control keys, and the
// one record file both write to (so the order of their calls shows).

#include "frame/Registry.h"
#include "support/ComServerRegistration.h"
#include "support/Fixtures.h"
#include "support/TestFolder.h"
#include "support/TestRegistry.h"

#include <windows.h>

#include <string>
#include <vector>

namespace ih::test {

inline constexpr wchar_t kComponentManagerClsid[] = L"{D2B7A809-15DC-40B4-A1E1-C61EA97191DB}";
inline constexpr wchar_t kWmiLocatorClsid[] = L"{4590F811-1D3A-11D0-891F-00AA004B2E24}";
inline constexpr wchar_t kInstancePath[] = L"AntiVirusProduct.instanceGuid=\"{3F13C776-3CBE-4DE9-8BF6-09E5183CA2BD}\"";
inline constexpr wchar_t kInstanceKey[] =
    L"Software\\Kestro Tests\\WMI\\Instances\\{3F13C776-3CBE-4DE9-8BF6-09E5183CA2BD}";
inline constexpr wchar_t kConnectLine[] =
    L"ConnectServer \\\\.\\root\\SecurityCenter (null) (null) (null) 0 (null) (null)";
inline constexpr wchar_t kUnloadedLine[] = L"unloaded with 0 objects alive";

inline void SetText(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& text) {
    RegistryKey opened;
    if (CreateRegistryKey(opened, root, key, KEY_SET_VALUE) != ERROR_SUCCESS) return;
    ::RegSetValueExW(opened.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                     static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

inline void SetNumber(HKEY root, const std::wstring& key, const wchar_t* name, DWORD number) {
    RegistryKey opened;
    if (CreateRegistryKey(opened, root, key, KEY_SET_VALUE) == ERROR_SUCCESS)
        WriteRegistryDword(opened.get(), name, number);
}

// A REG_DWORD value; -1 when it is missing or of another type.
inline long long ReadNumber(HKEY root, const std::wstring& key, const wchar_t* name) {
    RegistryKey opened;
    DWORD value = 0;
    if (OpenRegistryKey(opened, root, key, KEY_QUERY_VALUE) != ERROR_SUCCESS ||
        ReadRegistryDword(opened.get(), name, value) != ERROR_SUCCESS)
        return -1;
    return static_cast<long long>(value);
}

// The two fixtures registered, both recording into `record`.
class NotifyFixtures {
public:
    explicit NotifyFixtures(const TestFolder& folder) : record_(folder / L"calls.txt") {
        SetText(HKEY_CURRENT_USER, manager.Path(), L"Record", record_);
        SetText(HKEY_CURRENT_USER, wmi.Path(), L"Record", record_);
    }
    void Behave(const wchar_t* behaviour) const { SetText(HKEY_CURRENT_USER, manager.Path(), L"Behaviour", behaviour); }
    void FailWmi(const std::wstring& call, HRESULT result) const {
        SetText(HKEY_CURRENT_USER, wmi.Path(), L"Fail", call);
        SetNumber(HKEY_CURRENT_USER, wmi.Path(), L"FailWith", static_cast<DWORD>(result));
    }
    // The instance the locator keeps, as its property values stand.
    void StoreInstance(bool onAccess, bool upToDate) const {
        SetText(HKEY_CURRENT_USER, kInstanceKey, L"instanceGuid", L"{3F13C776-3CBE-4DE9-8BF6-09E5183CA2BD}");
        SetText(HKEY_CURRENT_USER, kInstanceKey, L"displayName", L"Kestro Anti-Virus");
        SetNumber(HKEY_CURRENT_USER, kInstanceKey, L"onAccessScanningEnabled", onAccess);
        SetNumber(HKEY_CURRENT_USER, kInstanceKey, L"productUptoDate", upToDate);
    }
    bool InstanceStored() const { return wmi.Exists(L"Instances\\{3F13C776-3CBE-4DE9-8BF6-09E5183CA2BD}"); }
    std::vector<std::wstring> Calls() const { return ReadLines(record_); }
    void ClearCalls() const { ::DeleteFileW(record_.c_str()); }

    const ScopedRegistryTree manager{HKEY_CURRENT_USER, L"Software\\Kestro Tests\\ComponentManager"};
    const ScopedRegistryTree wmi{HKEY_CURRENT_USER, L"Software\\Kestro Tests\\WMI"};

private:
    std::wstring record_;
    const ScopedRegistryTree managerClass_{HKEY_LOCAL_MACHINE,
                                           std::wstring(L"Software\\Classes\\CLSID\\") + kComponentManagerClsid};
    ScopedInprocServer managerServer_{kComponentManagerClsid, FixturePath(L"ComponentManager.dll")};
    ScopedInprocServer locatorServer_{kWmiLocatorClsid, FixturePath(L"WmiLocator.dll")};
};

// Makes the first uses of COM in this process that keep handles for good.
inline void WarmUpCom() {
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IUnknown* object = nullptr;
    const CLSID locator = {0x4590F811, 0x1D3A, 0x11D0, {0x89, 0x1F, 0x00, 0xAA, 0x00, 0x4B, 0x2E, 0x24}};
    if (SUCCEEDED(::CoCreateInstance(locator, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                     reinterpret_cast<void**>(&object))))
        object->Release();
    ::CoUninitialize();
}

} // namespace ih::test
