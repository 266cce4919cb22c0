#pragma once
// A library's entry found by name: calling a registration entry of a library
// on disk, and finding a function of a system library at run time (the way to
// use anything newer than the oldest supported Windows without importing it).

#include <windows.h>

#include <string_view>

namespace ih {

// Loads `library`, calls its entry `entryName` with no arguments (its own
// result is not examined) and unloads it. 0 when the entry was called; else
// the Win32 error of loading the library or of finding the entry.
DWORD CallLibraryEntry(std::wstring_view library, const char* entryName);

// The entry `entryName` of `module`, a library already loaded in every
// process (kernel32, ntdll, advapi32 ...), as a pointer of type Function; null
// when the module or the entry is missing. Nothing is loaded or unloaded:
//   const auto isWow64 = FindLoadedEntry<IsWow64ProcessFunction>(L"KERNEL32.DLL", "IsWow64Process");
FARPROC FindLoadedEntry(const wchar_t* module, const char* entryName) noexcept;

template <typename Function>
Function FindLoadedEntry(const wchar_t* module, const char* entryName) noexcept {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(FindLoadedEntry(module, entryName)));
}

} // namespace ih
