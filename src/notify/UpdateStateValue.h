#pragma once
// The update state the product's service keeps in the registry:
// HKLM\Software\Kestro\QMXService\UpdateStatus, value "UpdateState" (REG_DWORD).

#include <windows.h>

#include <string_view>

namespace ih::notify {

inline constexpr std::wstring_view kServiceKey = L"Software\\Kestro\\QMXService";
inline constexpr std::wstring_view kUpdateStatusSubkey = L"UpdateStatus";
inline constexpr std::wstring_view kUpdateStateValue = L"UpdateState";

enum class UpdateStatusSubkey { MustExist, CreateIfMissing };

// Writes `state`. The service key must exist; the subkey as `subkey` says.
// Returns the Win32 error of the first step that failed.
LONG WriteUpdateStateValue(DWORD state, UpdateStatusSubkey subkey);

} // namespace ih::notify
