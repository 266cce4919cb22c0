// The library's entry point. Loading does nothing (the engine objects are
// built by the first action that needs them); unloading by the installer,
// after each action, closes them so that no handle outlives the library.

#include "update/EngineObjects.h"

#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE /*instance*/, DWORD reason, LPVOID reserved) {
    // At process exit (reserved not null) the system reclaims everything.
    if (reason == DLL_PROCESS_DETACH && reserved == nullptr) ih::update::DestroyEngineObjects();
    return TRUE;
}
