#pragma once
// File operations shared by several actions.

#include <windows.h>

#include <string_view>

namespace ih {

// Copies every file matching the wildcard `pattern` from `sourcePrefix` + name
// to `destinationPrefix` + name, overwriting. A failed copy is tried once more
// after the target's attributes are set to normal; a second failure, like a
// pattern that matches nothing, is not an error. Prefixes are joined to the
// found name as they are: the caller supplies the backslash. Returns 0.
UINT CopyMatchingFiles(std::wstring_view pattern, std::wstring_view destinationPrefix, std::wstring_view sourcePrefix);

} // namespace ih
