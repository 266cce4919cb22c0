#pragma once
// Calling a library's registration entry by name.

#include <windows.h>

#include <string_view>

namespace ih::update {

// Loads `library`, calls its entry `entryName` with no arguments (its own
// result is not examined) and unloads it. 0 when the entry was called; else
// the Win32 error of loading the library or of finding the entry.
DWORD CallLibraryEntry(std::wstring_view library, const char* entryName);

} // namespace ih::update
