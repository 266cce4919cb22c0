#pragma once
// Applying the policy file shipped beside the product through the product's
// configuration program.

#include <windows.h>
#include <msi.h>

namespace ih::cleanup {

// The configuration program is waited for this long and then left running.
inline constexpr DWORD kConfigurationProgramTimeout = 30000;

// Deferred; CustomActionData is the installation folder. When the folder holds
// "qmxconf.xml", runs "ConfigureQMX.exe" on the folder, waits for it and
// deletes it. 0, or 1603 when an error escapes the work.
UINT ConfigureQMX(MSIHANDLE installation);

} // namespace ih::cleanup
