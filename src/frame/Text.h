#pragma once
// Small text helpers several subsystems share.

#include <string>
#include <string_view>

namespace ih {

// Removes leading and trailing U+0020 spaces only (not tabs or line ends).
constexpr std::wstring_view TrimSpaces(std::wstring_view text) noexcept {
    while (!text.empty() && text.front() == L' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == L' ') text.remove_suffix(1);
    return text;
}

constexpr std::wstring_view TrimLeadingSpaces(std::wstring_view text) noexcept {
    while (!text.empty() && text.front() == L' ') text.remove_prefix(1);
    return text;
}

// Paths are joined by plain concatenation, so folders carry their separator.
inline void EnsureTrailingBackslash(std::wstring& folder) {
    if (folder.empty() || folder.back() != L'\\') folder.push_back(L'\\');
}

} // namespace ih
