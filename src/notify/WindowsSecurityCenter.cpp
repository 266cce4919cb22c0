#include "notify/WindowsSecurityCenter.h"

#include "frame/Handles.h"
#include "notify/SecurityCenterVersion.h"

#include <wbemcli.h>

#include <string>

namespace ih::notify {

namespace {

// {4590F811-1D3A-11D0-891F-00AA004B2E24}
constexpr CLSID kWbemLocatorClass = {0x4590F811, 0x1D3A, 0x11D0, {0x89, 0x1F, 0x00, 0xAA, 0x00, 0x4B, 0x2E, 0x24}};
// {DC12A687-737F-11CF-884D-00AA004B2E24}
constexpr IID kWbemLocatorInterface = {0xDC12A687, 0x737F, 0x11CF, {0x88, 0x4D, 0x00, 0xAA, 0x00, 0x4B, 0x2E, 0x24}};
constexpr DWORD kLocatorContext = CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER;

constexpr LONG kCreateOrUpdate = WBEM_FLAG_CREATE_OR_UPDATE; // 0
constexpr LONG kUpdateOnly = WBEM_FLAG_UPDATE_ONLY;          // 1
constexpr HRESULT kNotFound = static_cast<HRESULT>(WBEM_E_NOT_FOUND);

HRESULT Connect(ComPtr<IWbemServices>& services) {
    ComPtr<IWbemLocator> locator;
    HRESULT result =
        ::CoCreateInstance(kWbemLocatorClass, nullptr, kLocatorContext, kWbemLocatorInterface, locator.put_void());
    if (FAILED(result)) return result;
    const UniqueBstr name = MakeBstr(kSecurityCenterNamespace);
    if (!name) return E_OUTOFMEMORY;
    result = locator->ConnectServer(name.get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr, services.put());
    if (SUCCEEDED(result) && !services) return E_POINTER;
    return result;
}

HRESULT GetObjectAt(IWbemServices& services, std::wstring_view path, ComPtr<IWbemClassObject>& object) {
    const UniqueBstr name = MakeBstr(path);
    if (!name) return E_OUTOFMEMORY;
    const HRESULT result = services.GetObject(name.get(), 0, nullptr, object.put(), nullptr);
    if (SUCCEEDED(result) && !object) return E_POINTER;
    return result;
}

// The results of Put are not examined: PutInstance reports what was stored.
// False only when the text could not be allocated.
bool PutText(IWbemClassObject& object, const wchar_t* property, std::wstring_view text) {
    const UniqueBstr value = MakeBstr(text);
    if (!value) return false;
    VARIANT variant = BorrowedText(value);
    object.Put(property, 0, &variant, 0);
    return true;
}

void PutFlag(IWbemClassObject& object, const wchar_t* property, bool flag) {
    VARIANT variant;
    ::VariantInit(&variant);
    variant.vt = VT_BOOL;
    variant.boolVal = flag ? VARIANT_TRUE : VARIANT_FALSE;
    object.Put(property, 0, &variant, 0);
}

} // namespace

bool SecurityCenterPresent() {
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info))) return false;
#pragma GCC diagnostic pop
    return SecurityCenterApplies({info.dwMajorVersion, info.dwMinorVersion, info.wServicePackMajor});
}

HRESULT CWindowsSecurityCenter::Install() {
    if (!SecurityCenterPresent()) return S_OK;
    ComPtr<IWbemServices> services;
    HRESULT result = Connect(services);
    if (FAILED(result)) return result;

    ComPtr<IWbemClassObject> existing;
    result = GetObjectAt(*services.get(), kProductInstancePath, existing);
    if (SUCCEEDED(result)) return result;

    ComPtr<IWbemClassObject> productClass;
    result = GetObjectAt(*services.get(), kAntiVirusProductClass, productClass);
    if (FAILED(result)) return result;
    ComPtr<IWbemClassObject> instance;
    result = productClass->SpawnInstance(0, instance.put());
    if (FAILED(result)) return result;
    if (!instance) return E_POINTER;

    if (!PutText(*instance.get(), L"instanceGuid", kProductInstanceGuid) ||
        !PutText(*instance.get(), L"displayName", kProductDisplayName))
        return E_OUTOFMEMORY;
    PutFlag(*instance.get(), L"onAccessScanningEnabled", false);
    PutFlag(*instance.get(), L"productUptoDate", true);
    return services->PutInstance(instance.get(), kCreateOrUpdate, nullptr, nullptr);
}

HRESULT CWindowsSecurityCenter::Uninstall() {
    if (!SecurityCenterPresent()) return S_OK;
    ComPtr<IWbemServices> services;
    HRESULT result = Connect(services);
    if (FAILED(result)) return result;
    const UniqueBstr path = MakeBstr(kProductInstancePath);
    if (!path) return E_OUTOFMEMORY;
    result = services->DeleteInstance(path.get(), 0, nullptr, nullptr);
    return result == kNotFound ? S_OK : result;
}

HRESULT CWindowsSecurityCenter::SetOnAccessEnabled(bool enabled) {
    if (!SecurityCenterPresent()) return S_OK;
    ComPtr<IWbemServices> services;
    HRESULT result = Connect(services);
    if (FAILED(result)) return result;
    ComPtr<IWbemClassObject> instance;
    result = GetObjectAt(*services.get(), kProductInstancePath, instance);
    if (FAILED(result)) return result;
    PutFlag(*instance.get(), L"onAccessScanningEnabled", enabled);
    return services->PutInstance(instance.get(), kUpdateOnly, nullptr, nullptr);
}

} // namespace ih::notify
