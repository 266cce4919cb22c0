#pragma once
// Registry operations shared by several actions.

#include "frame/Handles.h"

#include <string_view>

namespace ih {

using RegistryKey = UniqueResource<traits::RegistryKey>;

// Opens `subKeyName` under `parent`. On success the key object drops what it
// held before and keeps the new key; on failure it is left as it was.
// Returns the Win32 error code.
LONG OpenRegistryKey(RegistryKey& key, HKEY parent, std::wstring_view subKeyName, REGSAM access);

// Opens `subKeyName` under `parent`, creating it (non-volatile) when missing;
// the key object as OpenRegistryKey leaves it. Returns the Win32 error code.
LONG CreateRegistryKey(RegistryKey& key, HKEY parent, std::wstring_view subKeyName, REGSAM access);

// Writes the REG_DWORD `valueName` of an open key. Returns the Win32 error code.
LONG WriteRegistryDword(HKEY key, std::wstring_view valueName, DWORD value);

// Reads the REG_DWORD `valueName` of an open key. 0 with `value` set; the
// query's error; or ERROR_INVALID_DATATYPE for a value of another type or
// size, which callers treat as absent.
LONG ReadRegistryDword(HKEY key, std::wstring_view valueName, DWORD& value);

// Deletes a key with all its subkeys, depth first, stopping at the first error.
LONG DeleteKeyTree(HKEY parent, std::wstring_view subKeyName);

} // namespace ih
