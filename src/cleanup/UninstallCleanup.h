#pragma once
// The uninstallation's clean-up: what the product made while it ran and the
// installer's own tables do not know. Each action takes the installation
// folder as its CustomActionData and returns 0 whatever happens.

#include <windows.h>
#include <msi.h>

#include <string_view>

namespace ih::cleanup {

// The product's COM application registration, removed by DeleteOtherFiles.
inline constexpr std::wstring_view kProductAppId = L"{EEA3D6A3-3AEE-4BF4-B8EF-8A190CADD9B1}";

// Read, create subkey and set value: enough to delete a subkey.
inline constexpr REGSAM kParentKeyAccess = 0x2001F;

// Engine and data files, the product data folder's configuration, logs and
// quarantine, the product's scheduled scans, per-user configuration, the
// restart marker and the COM application registration.
UINT DeleteOtherFiles(MSIHANDLE installation);

// Runtime libraries (at the next restart when they are in use), the
// installation folder and its parent, the product's registry keys and the
// shortcuts folder.
UINT ForceDeleteFiles(MSIHANDLE installation);

// The engine's ".ide" files in the installation folder.
UINT DeleteIDEs(MSIHANDLE installation);

} // namespace ih::cleanup
