#pragma once
// Splitting of an action's data into fields.

#include <cstdint>
#include <string>
#include <string_view>

namespace ih {

// Every action that takes several fields separates them with a double quote.
inline constexpr std::wstring_view kFieldDelimiters = L"\"";

// Position value once the text is exhausted.
inline constexpr std::int32_t kFieldsExhausted = -1;

// Returns the next maximal run of characters that are not in `delimiters`,
// starting at `position`, and moves `position` past the character that ended
// it. Runs of delimiters count as one separator; there is no quoting. Once the
// text holds no further field the result is empty and `position` becomes -1.
std::wstring NextField(std::wstring_view text, std::wstring_view delimiters, std::int32_t& position);

// The two folders at the head of a deferred action's data (installation
// folder, then source folder), each ending in a backslash. False when either
// field is missing.
bool SplitFolderPair(std::wstring_view data, std::wstring& first, std::wstring& second);

} // namespace ih
