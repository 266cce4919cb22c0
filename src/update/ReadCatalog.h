#pragma once
// The immediate action that compares the installed catalogue with the
// update's and tells later steps, through installer properties, whether only
// the engine changed (QMXIONLY = "1") and whether the drivers can stay
// (UPDATEDRIVERS = "0").

#include <windows.h>
#include <msi.h>

#include <string_view>

namespace ih::update {

inline constexpr std::wstring_view kCatalogueFileName = L"cidsync.upd";

// Reads INSTALLDIR and SOURCEDIR; 1603 when either is missing or shorter
// than two characters. A missing or unreadable catalogue means a full update:
// nothing is set and the result is 0.
UINT ReadCatalog(MSIHANDLE installation);

} // namespace ih::update
