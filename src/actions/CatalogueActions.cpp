// Exported entry point of the catalogue comparison.

#include "actions/Exports.h"
#include "frame/ActionGuard.h"
#include "update/ReadCatalog.h"

// An escaped error (out of memory) fails like a missing property would.
extern "C" UINT __stdcall ReadCatalog(MSIHANDLE installation) {
    return ih::GuardAction(L"ReadCatalog", ERROR_INSTALL_FAILURE,
                           [&] { return ih::update::ReadCatalog(installation); });
}
