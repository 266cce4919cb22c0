// Exported entry points of the uninstall clean-up, the policy configuration
// and the closing of the product's windows.

#include "actions/Exports.h"
#include "cleanup/PolicyConfiguration.h"
#include "cleanup/ProductWindows.h"
#include "cleanup/UninstallCleanup.h"
#include "frame/ActionGuard.h"

extern "C" UINT __stdcall DeleteOtherFiles(MSIHANDLE installation) {
    return ih::GuardAction(L"DeleteOtherFiles", ERROR_SUCCESS,
                           [&] { return ih::cleanup::DeleteOtherFiles(installation); });
}

extern "C" UINT __stdcall ForceDeleteFiles(MSIHANDLE installation) {
    return ih::GuardAction(L"ForceDeleteFiles", ERROR_SUCCESS,
                           [&] { return ih::cleanup::ForceDeleteFiles(installation); });
}

extern "C" UINT __stdcall DeleteIDEs(MSIHANDLE installation) {
    return ih::GuardAction(L"DeleteIDEs", ERROR_SUCCESS, [&] { return ih::cleanup::DeleteIDEs(installation); });
}

extern "C" UINT __stdcall ConfigureQMX(MSIHANDLE installation) {
    return ih::GuardAction(L"ConfigureQMX", ERROR_INSTALL_FAILURE,
                           [&] { return ih::cleanup::ConfigureQMX(installation); });
}

extern "C" UINT __stdcall CloseQmxMainWindow(MSIHANDLE installation) {
    return ih::GuardAction(L"CloseQmxMainWindow", ERROR_SUCCESS,
                           [&] { return ih::cleanup::CloseQmxMainWindow(installation); });
}
