#pragma once
// The on-access driver sets of the installation source, one folder per
// platform, and the choice of one for the machine.

#include <string_view>

namespace ih::services {

inline constexpr std::wstring_view kFilterDriverFile = L"qmxonaccessfilter.sys";
inline constexpr std::wstring_view kControlDriverFile = L"qmxonaccesscontrol.sys";
inline constexpr std::wstring_view kDriverCatalogue = L"qmx.cat";

struct DriverSet {
    std::wstring_view version; // the published "DRIVERVERSION" value
    std::wstring_view folder;  // joined to the source folder; empty for "2K"
};

// Chooses by processor architecture (compared case-sensitively) and, for any
// architecture but "AMD64" and "IA64", by whether Windows is XP (5.1) or later.
DriverSet ChooseDriverSet(std::wstring_view architecture, bool xpOrLater) noexcept;

// The folder of a published driver version; empty for "2K" and any other value.
std::wstring_view DriverSetFolder(std::wstring_view version) noexcept;

} // namespace ih::services
