#pragma once
// Declarations of everything the library exports. The names and calling
// conventions are the interface packages and other components are built
// against; InstallerHelper.def lists the same names, undecorated.

#include <windows.h>
#include <msi.h>

// The cipher and checksum families (C calling convention).
#include "crypto/Kxa.h"

extern "C" {

// Actions: called by the installer with the running installation's handle;
// return 0, or 1603 for a fatal error.
UINT __stdcall CopyOtherFiles(MSIHANDLE installation);
UINT __stdcall UpdateQmxAdapterDll(MSIHANDLE installation);
UINT __stdcall RunBeforeScripts(MSIHANDLE installation);
UINT __stdcall RunPreLaunchScripts(MSIHANDLE installation);
UINT __stdcall RunAfterScripts(MSIHANDLE installation);
UINT __stdcall RunErrorScripts(MSIHANDLE installation);
UINT __stdcall ReadCatalog(MSIHANDLE installation);
UINT __stdcall UpdateQMXI(MSIHANDLE installation);
UINT __stdcall RemoveQMXI(MSIHANDLE installation);
UINT __stdcall PreInstallChecks(MSIHANDLE installation);
UINT __stdcall SetDriverProperty(MSIHANDLE installation);
UINT __stdcall InstallUnsignedDrivers(MSIHANDLE installation);
UINT __stdcall StartDriverServices(MSIHANDLE installation);
UINT __stdcall SetServiceXP(MSIHANDLE installation);
UINT __stdcall RollbackDeleteService(MSIHANDLE installation);
UINT __stdcall DeleteDriverKeys(MSIHANDLE installation);
UINT __stdcall CreateUserGroups(MSIHANDLE installation);
UINT __stdcall DeleteUserGroups(MSIHANDLE installation);
UINT __stdcall SetAdminGroupDescription(MSIHANDLE installation);
UINT __stdcall SetPowerGroupDescription(MSIHANDLE installation);
UINT __stdcall SetUserGroupDescription(MSIHANDLE installation);
UINT __stdcall SetOnAccessGroupDescription(MSIHANDLE installation);
UINT __stdcall DeleteOtherFiles(MSIHANDLE installation);
UINT __stdcall ForceDeleteFiles(MSIHANDLE installation);
UINT __stdcall DeleteIDEs(MSIHANDLE installation);
UINT __stdcall ConfigureQMX(MSIHANDLE installation);
UINT __stdcall CloseQmxMainWindow(MSIHANDLE installation);

// Permissions: the data folder tree (0 or a failure code), the services and
// the COM server's launch permission (always 0).
UINT __stdcall SetFolderPermissions(MSIHANDLE installation);
UINT __stdcall SetServiceSecurity(MSIHANDLE installation);

// Update-state notices and Security Center registration: always 0.
UINT __stdcall SetUpdateBegin(MSIHANDLE installation);
UINT __stdcall SetUpdateFinished(MSIHANDLE installation);
UINT __stdcall SetUpdateFailed(MSIHANDLE installation);
UINT __stdcall SetInstallationComplete(MSIHANDLE installation);
UINT __stdcall SetQMXAdminUpdateBegin(MSIHANDLE installation);
UINT __stdcall SetQMXAdminUpdateComplete(MSIHANDLE installation);
UINT __stdcall InstallSecurityCenter(MSIHANDLE installation);
UINT __stdcall UninstallSecurityCenter(MSIHANDLE installation);

} // extern "C"
