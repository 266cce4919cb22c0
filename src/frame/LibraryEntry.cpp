#include "frame/LibraryEntry.h"

#include "frame/Handles.h"

#include <string>

namespace ih {

DWORD CallLibraryEntry(std::wstring_view library, const char* entryName) {
    const std::wstring path(library);
    UniqueLibrary loaded(::LoadLibraryW(path.c_str()));
    if (!loaded) return ::GetLastError();
    const FARPROC entry = ::GetProcAddress(loaded.get(), entryName);
    if (!entry) return ::GetLastError(); // taken before the library is unloaded
    using RegistrationEntry = HRESULT(STDAPICALLTYPE*)();
    reinterpret_cast<RegistrationEntry>(reinterpret_cast<void*>(entry))();
    return ERROR_SUCCESS;
}

FARPROC FindLoadedEntry(const wchar_t* module, const char* entryName) noexcept {
    const HMODULE loaded = ::GetModuleHandleW(module);
    return loaded ? ::GetProcAddress(loaded, entryName) : nullptr;
}

} // namespace ih
