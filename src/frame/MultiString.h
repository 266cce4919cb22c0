#pragma once
// Reading a registry multi-string (a list of zero-terminated entries ended by
// an empty one) as it comes from the registry: possibly without its final
// terminators, so the data's own length bounds every read.

#include <string_view>

namespace ih {

// True when one entry of `data` equals `entry` exactly (case-sensitive).
bool MultiStringHasEntry(std::wstring_view data, std::wstring_view entry);

} // namespace ih
