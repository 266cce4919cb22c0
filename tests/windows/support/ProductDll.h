#pragma once
// The built InstallerHelper.dll, loaded as the installer loads it, and what
// one load costs in handles.

#include "frame/Handles.h"

#include <windows.h>
#include <msi.h>

#include <map>
#include <string>

namespace ih::test {

using ExportedAction = UINT(__stdcall*)(MSIHANDLE);

// The DLL's path from IH_DLL (a Unix path, which Wine maps on Z:). The test
// run always sets it: without it this throws, so a DLL-level test fails
// rather than skips.
std::wstring ProductDllPath();

// The DLL loaded for one scope (freed at its end).
class LoadedProductDll {
public:
    LoadedProductDll();
    // The export `name`, or null.
    void* Entry(const char* name) const;
    ExportedAction Action(const char* name) const { return reinterpret_cast<ExportedAction>(Entry(name)); }
    // Frees the library now; false when FreeLibrary fails.
    bool Free();

private:
    UniqueLibrary library_;
};

// Handles that each load and free of the DLL leaves behind in the loading
// process, per object type, whatever the actions called in between did. They
// belong to the toolchain's runtime, not to any action: an i686 DLL that links
// the C++ exception runtime statically registers its DWARF unwind tables at
// load under a lock that the win32 thread model's runtime creates (one
// semaphore, object type 10 under Wine) and never closes. x64 unwinds through
// the image's function tables and leaves nothing. See docs/TESTING.md.
const std::map<int, long>& HandlesLeftByEachLoad();

} // namespace ih::test
