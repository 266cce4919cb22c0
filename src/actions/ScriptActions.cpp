// Exported entry points of the script stages.

#include "actions/Exports.h"
#include "frame/ActionGuard.h"
#include "scripts/ScriptActions.h"

extern "C" UINT __stdcall RunBeforeScripts(MSIHANDLE installation) {
    return ih::GuardAction(L"RunBeforeScripts", ERROR_INSTALL_FAILURE,
                           [&] { return ih::scripts::RunBeforeScripts(installation); });
}

extern "C" UINT __stdcall RunPreLaunchScripts(MSIHANDLE installation) {
    return ih::GuardAction(L"RunPreLaunchScripts", ERROR_INSTALL_FAILURE,
                           [&] { return ih::scripts::RunPreLaunchScripts(installation); });
}

extern "C" UINT __stdcall RunAfterScripts(MSIHANDLE installation) {
    return ih::GuardAction(L"RunAfterScripts", ERROR_INSTALL_FAILURE,
                           [&] { return ih::scripts::RunAfterScripts(installation); });
}

extern "C" UINT __stdcall RunErrorScripts(MSIHANDLE installation) {
    return ih::GuardAction(L"RunErrorScripts", ERROR_INSTALL_FAILURE,
                           [&] { return ih::scripts::RunErrorScripts(installation); });
}
