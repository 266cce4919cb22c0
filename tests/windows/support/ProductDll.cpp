#include "support/ProductDll.h"

#include "support/Fixtures.h"

#include <stdexcept>

namespace ih::test {

std::wstring ProductDllPath() { return BuiltFilePath("IH_DLL"); }

LoadedProductDll::LoadedProductDll() : library_(::LoadLibraryW(ProductDllPath().c_str())) {
    if (!library_)
        throw std::runtime_error("InstallerHelper.dll does not load: error " + std::to_string(::GetLastError()));
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
