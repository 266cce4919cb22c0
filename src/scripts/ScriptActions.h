#pragma once
// The four script stages. Each reads where the scripts are (installation
// folder, script folder, product version, separated by double quotes), reads
// its list from the script folder's "QMX.CFG" and runs the lines in order,
// stopping at the first failure.

#include <windows.h>
#include <msi.h>

namespace ih::scripts {

UINT RunBeforeScripts(MSIHANDLE installation);    // immediate: property RunPreLaunchScript
UINT RunPreLaunchScripts(MSIHANDLE installation); // deferred: CustomActionData
UINT RunAfterScripts(MSIHANDLE installation);     // deferred: CustomActionData
UINT RunErrorScripts(MSIHANDLE installation);     // deferred: CustomActionData

} // namespace ih::scripts
