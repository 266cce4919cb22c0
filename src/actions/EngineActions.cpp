// Exported entry points of the engine library update and removal.

#include "actions/Exports.h"
#include "frame/ActionGuard.h"
#include "update/EngineUpdate.h"

extern "C" UINT __stdcall UpdateQMXI(MSIHANDLE installation) {
    return ih::GuardAction(L"UpdateQMXI", ERROR_INSTALL_FAILURE, [&] { return ih::update::UpdateQMXI(installation); });
}

extern "C" UINT __stdcall RemoveQMXI(MSIHANDLE installation) {
    return ih::GuardAction(L"RemoveQMXI", ERROR_INSTALL_FAILURE, [&] { return ih::update::RemoveQMXI(installation); });
}
