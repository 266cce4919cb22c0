#pragma once
// The installer calls the library makes on the running installation.

#include <windows.h>
#include <msi.h>

#include <string>
#include <string_view>

namespace ih {

// Reads a property (CustomActionData in deferred actions) with the two-call
// size protocol. An undefined or empty property reads as an empty value.
// Returns ERROR_SUCCESS or ERROR_INSTALL_FAILURE; never logs.
UINT GetInstallerProperty(MSIHANDLE installation, std::wstring& value, std::wstring_view name);

// Posts numbered message `messageNumber` (a row of the package's Error table)
// as an error, or as a warning when `asWarning`; texts fill fields 2 to 4 and a
// null text leaves its field null. Returns 0, or E_UNEXPECTED when the record
// cannot be built.
HRESULT PostInstallerMessage(MSIHANDLE installation, int messageNumber, bool asWarning, const wchar_t* text2 = nullptr,
                             const wchar_t* text3 = nullptr, const wchar_t* text4 = nullptr);

} // namespace ih

namespace ih {

// Sets a property of the running installation; returns the installer's result.
UINT SetInstallerProperty(MSIHANDLE installation, std::wstring_view name, std::wstring_view value);

} // namespace ih
