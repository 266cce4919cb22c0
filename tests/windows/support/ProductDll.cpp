#include "support/ProductDll.h"

#include <cstdlib>
#include <stdexcept>

namespace ih::test {

std::wstring ProductDllPath() {
    const char* unixPath = std::getenv("IH_DLL");
    if (!unixPath || !*unixPath) throw std::runtime_error("IH_DLL does not name the built InstallerHelper.dll");
    std::wstring path = L"Z:";
    for (const char* c = unixPath; *c; ++c) path.push_back(*c == '/' ? L'\\' : static_cast<wchar_t>(*c));
    return path;
}

LoadedProductDll::LoadedProductDll() : library_(::LoadLibraryW(ProductDllPath().c_str())) {
    if (!library_) throw std::runtime_error("InstallerHelper.dll does not load: error " + std::to_string(::GetLastError()));
}

void* LoadedProductDll::Entry(const char* name) const {
    return reinterpret_cast<void*>(::GetProcAddress(library_.get(), name));
}

bool LoadedProductDll::Free() { return ::FreeLibrary(library_.release()) != FALSE; }

const std::map<int, long>& HandlesLeftByEachLoad() {
#ifdef _WIN64
    static const std::map<int, long> left;
#else
    static const std::map<int, long> left{{10, 1}};
#endif
    return left;
}

} // namespace ih::test
