// Exported entry point of the pre-install checks.

#include "actions/Exports.h"
#include "frame/ActionGuard.h"
#include "update/PreInstallChecks.h"

extern "C" UINT __stdcall PreInstallChecks(MSIHANDLE installation) {
    return ih::GuardAction(L"PreInstallChecks", ERROR_INSTALL_FAILURE,
                           [&] { return ih::update::PreInstallChecks(installation); });
}
