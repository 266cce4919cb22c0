// Exported entry points of the other-files actions.

#include "actions/Exports.h"
#include "frame/ActionGuard.h"
#include "update/OtherFiles.h"

extern "C" UINT __stdcall CopyOtherFiles(MSIHANDLE installation) {
    return ih::GuardAction(L"CopyOtherFiles", ERROR_INSTALL_FAILURE,
                           [&] { return ih::update::CopyOtherFiles(installation); });
}

extern "C" UINT __stdcall UpdateQmxAdapterDll(MSIHANDLE installation) {
    return ih::GuardAction(L"UpdateQmxAdapterDll", ERROR_SUCCESS,
                           [&] { return ih::update::UpdateQmxAdapterDll(installation); });
}
