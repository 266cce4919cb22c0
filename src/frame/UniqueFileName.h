#pragma once
// A fresh numbered name for a file that cannot be replaced in place.

#include <cstdint>
#include <string>
#include <string_view>

namespace ih {

inline constexpr unsigned kUniqueFileNameCandidates = 9999; // numbers 0 to 9998

// Creates the first free file among JoinPath(folder, stem + n + extension), for n =
// 0, 1, ..., 9998 (the extension is the name from its last "." on), and leaves
// it empty as a placeholder. 0 with `created` set; 0x80070057 when either input
// is empty; 0x80070005 at once on access denied; otherwise the last error of
// the last candidate in HRESULT form.
std::int32_t MakeUniqueFileName(std::wstring_view folder, std::wstring_view fileName, std::wstring& created);

} // namespace ih
