#pragma once
// The six actions that keep the product informed while the installer updates
// it: the registry's update state and the "SystemInformation" component of
// the product's service. They read nothing from the installation, log what did
// not work, and always return 0.

#include <windows.h>
#include <msi.h>

namespace ih::notify {

UINT SetUpdateBegin(MSIHANDLE installation);
UINT SetUpdateFinished(MSIHANDLE installation);
UINT SetUpdateFailed(MSIHANDLE installation);
UINT SetInstallationComplete(MSIHANDLE installation);
UINT SetQMXAdminUpdateBegin(MSIHANDLE installation);
UINT SetQMXAdminUpdateComplete(MSIHANDLE installation);

} // namespace ih::notify
