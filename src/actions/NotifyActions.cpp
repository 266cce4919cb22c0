// Exported entry points of the update-state notices and the Security Center
// registration. None of them fails the installation.

#include "actions/Exports.h"
#include "frame/ActionGuard.h"
#include "notify/SecurityCenterActions.h"
#include "notify/UpdateNotices.h"

extern "C" UINT __stdcall SetUpdateBegin(MSIHANDLE installation) {
    return ih::GuardAction(L"SetUpdateBegin", ERROR_SUCCESS, [&] { return ih::notify::SetUpdateBegin(installation); });
}

extern "C" UINT __stdcall SetUpdateFinished(MSIHANDLE installation) {
    return ih::GuardAction(L"SetUpdateFinished", ERROR_SUCCESS,
                           [&] { return ih::notify::SetUpdateFinished(installation); });
}

extern "C" UINT __stdcall SetUpdateFailed(MSIHANDLE installation) {
    return ih::GuardAction(L"SetUpdateFailed", ERROR_SUCCESS,
                           [&] { return ih::notify::SetUpdateFailed(installation); });
}

extern "C" UINT __stdcall SetInstallationComplete(MSIHANDLE installation) {
    return ih::GuardAction(L"SetInstallationComplete", ERROR_SUCCESS,
                           [&] { return ih::notify::SetInstallationComplete(installation); });
}

extern "C" UINT __stdcall SetQMXAdminUpdateBegin(MSIHANDLE installation) {
    return ih::GuardAction(L"SetQMXAdminUpdateBegin", ERROR_SUCCESS,
                           [&] { return ih::notify::SetQMXAdminUpdateBegin(installation); });
}

extern "C" UINT __stdcall SetQMXAdminUpdateComplete(MSIHANDLE installation) {
    return ih::GuardAction(L"SetQMXAdminUpdateComplete", ERROR_SUCCESS,
                           [&] { return ih::notify::SetQMXAdminUpdateComplete(installation); });
}

extern "C" UINT __stdcall InstallSecurityCenter(MSIHANDLE installation) {
    return ih::GuardAction(L"InstallSecurityCenter", ERROR_SUCCESS,
                           [&] { return ih::notify::InstallSecurityCenter(installation); });
}

extern "C" UINT __stdcall UninstallSecurityCenter(MSIHANDLE installation) {
    return ih::GuardAction(L"UninstallSecurityCenter", ERROR_SUCCESS,
                           [&] { return ih::notify::UninstallSecurityCenter(installation); });
}
