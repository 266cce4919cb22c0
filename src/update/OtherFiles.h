#pragma once
// The files of an update that the installer's own tables do not carry, and the
// withdrawal of the adapter registration before the adapter library is replaced.

#include <windows.h>
#include <msi.h>

#include <string_view>

namespace ih::update {

inline constexpr std::wstring_view kAdaptersKey = L"Software\\Kestro\\Corvane\\ManagementAgent\\Adapters\\";
inline constexpr std::wstring_view kAdapterSubkey = L"QMX";
inline constexpr DWORD kAdapterReleasePause = 10000;

// Deferred; CustomActionData is the installation folder and the source folder
// separated by a double quote. Copies the catalogue, the driver description,
// the configuration file and the configuration program. 0, or 1603 on bad data.
UINT CopyOtherFiles(MSIHANDLE installation);

// Removes the adapter registration and gives the agent time to let go of the
// library. Always 0.
UINT UpdateQmxAdapterDll(MSIHANDLE installation);

} // namespace ih::update
