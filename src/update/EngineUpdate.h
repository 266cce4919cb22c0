#pragma once
// Replacement and removal of the scanning engine library in the installation
// folder, while the product's running processes hold it (through the
// handshake of EngineHandshake.h).

#include <windows.h>
#include <msi.h>

#include <string_view>

namespace ih::update {

inline constexpr std::wstring_view kEngineLibrary = L"QMXI.dll";

// Deferred; CustomActionData is the installation folder and the source folder
// separated by a double quote. Replaces the engine library (under a numbered
// name when the installed one is in use), copies the engine's data files and
// further libraries, and registers the new engine. 0, or 1603 when the data is
// unusable or copying or registering the engine library fails.
UINT UpdateQMXI(MSIHANDLE installation);

// Deferred; CustomActionData is the installation folder. Makes the clients let
// go of the engine and deletes it. 0, or 1603 when the handshake failed.
UINT RemoveQMXI(MSIHANDLE installation);

} // namespace ih::update
