#pragma once
// The restart marker: a file in the system's temporary folder that says an
// uninstallation left work for the next restart. The clean-up creates it and
// the pre-install checks refuse to install while it is there.

#include <string>
#include <string_view>

namespace ih {

inline constexpr std::wstring_view kRestartMarkerName = L"KestroRebootTest.txt";

// "%TEMP%" expanded without a user token, joined with the marker's name.
std::wstring RestartMarkerPath();

} // namespace ih
