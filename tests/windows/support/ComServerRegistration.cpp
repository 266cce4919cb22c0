#include "support/ComServerRegistration.h"

#include "frame/Registry.h"

#include <windows.h>
#include <objbase.h>
#include <shlwapi.h>

#include <stdexcept>

namespace ih::test {

namespace {

std::wstring ClassKey(const std::wstring& clsid) { return L"Software\\Classes\\CLSID\\" + clsid; }

std::wstring ReadText(HKEY key, const wchar_t* name) {
    wchar_t buffer[MAX_PATH * 2] = {};
    DWORD type = 0, size = sizeof buffer - sizeof(wchar_t);
    if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return {};
    return std::wstring(buffer);
}

void WriteText(HKEY key, const wchar_t* name, const std::wstring& text) {
    ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                     static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

} // namespace

ScopedInprocServer::ScopedInprocServer(std::wstring clsid, const std::wstring& dll)
    : key_(ClassKey(clsid) + L"\\InprocServer32") {
    RegistryKey existing;
    if (OpenRegistryKey(existing, HKEY_LOCAL_MACHINE, key_, KEY_QUERY_VALUE) == ERROR_SUCCESS) {
        existed_ = true;
        previousServer_ = ReadText(existing.get(), nullptr);
        previousModel_ = ReadText(existing.get(), L"ThreadingModel");
    }
    RegistryKey key;
    if (CreateRegistryKey(key, HKEY_LOCAL_MACHINE, key_, KEY_SET_VALUE) != ERROR_SUCCESS)
        throw std::runtime_error("a COM server cannot be registered");
    WriteText(key.get(), nullptr, dll);
    WriteText(key.get(), L"ThreadingModel", L"Both");
}

ScopedInprocServer::~ScopedInprocServer() {
    if (!existed_) {
        ::SHDeleteKeyW(HKEY_LOCAL_MACHINE, key_.substr(0, key_.rfind(L'\\')).c_str());
        return;
    }
    RegistryKey key;
    if (OpenRegistryKey(key, HKEY_LOCAL_MACHINE, key_, KEY_SET_VALUE) != ERROR_SUCCESS) return;
    WriteText(key.get(), nullptr, previousServer_);
    WriteText(key.get(), L"ThreadingModel", previousModel_);
}

void RemoveClassRegistration(const std::wstring& clsid) { ::SHDeleteKeyW(HKEY_LOCAL_MACHINE, ClassKey(clsid).c_str()); }

bool ComInitialisedOnThisThread() {
    const HRESULT result = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (SUCCEEDED(result)) ::CoUninitialize();
    return result != S_OK; // S_FALSE: already so; RPC_E_CHANGED_MODE: already multi-threaded
}

} // namespace ih::test
