// Exported entry points of the driver and service actions.

#include "actions/Exports.h"
#include "frame/ActionGuard.h"
#include "services/DriverInstall.h"
#include "services/DriverProperty.h"
#include "services/ServiceControl.h"

extern "C" UINT __stdcall SetDriverProperty(MSIHANDLE installation) {
    return ih::GuardAction(L"SetDriverProperty", ERROR_INSTALL_FAILURE,
                           [&] { return ih::services::SetDriverProperty(installation); });
}

extern "C" UINT __stdcall InstallUnsignedDrivers(MSIHANDLE installation) {
    return ih::GuardAction(L"InstallUnsignedDrivers", ERROR_INSTALL_FAILURE,
                           [&] { return ih::services::InstallUnsignedDrivers(installation); });
}

extern "C" UINT __stdcall StartDriverServices(MSIHANDLE installation) {
    return ih::GuardAction(L"StartDriverServices", ERROR_SUCCESS,
                           [&] { return ih::services::StartDriverServices(installation); });
}

extern "C" UINT __stdcall SetServiceXP(MSIHANDLE installation) {
    return ih::GuardAction(L"SetServiceXP", ERROR_INSTALL_FAILURE,
                           [&] { return ih::services::SetServiceXP(installation); });
}

extern "C" UINT __stdcall RollbackDeleteService(MSIHANDLE installation) {
    return ih::GuardAction(L"RollbackDeleteService", ERROR_SUCCESS,
                           [&] { return ih::services::RollbackDeleteService(installation); });
}

extern "C" UINT __stdcall DeleteDriverKeys(MSIHANDLE installation) {
    return ih::GuardAction(L"DeleteDriverKeys", ERROR_SUCCESS,
                           [&] { return ih::services::DeleteDriverKeys(installation); });
}
