#pragma once
// The checks before anything is installed: no restart pending from an earlier
// uninstallation, and the earlier product generation removed first.

#include <windows.h>
#include <msi.h>

#include <string_view>

namespace ih::update {

inline constexpr DWORD kClassicUninstallTimeout = 300000;
inline constexpr int kRestartPendingMessage = 3000;
inline constexpr int kClassicRemovalFailedMessage = 3002;

// Immediate. 0 when the installation may go on; 1603 after posting installer
// error 3000 (restart pending) or 3002 (the earlier generation stays).
UINT PreInstallChecks(MSIHANDLE installation);

} // namespace ih::update
