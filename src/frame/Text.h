#pragma once
// Trimming of configuration text. Portable.

#include <string>
#include <string_view>

namespace ih {

// Removes leading and trailing U+0020 spaces only (not tabs or line ends).
constexpr std::wstring_view TrimSpaces(std::wstring_view text) noexcept {
    while (!text.empty() && text.front() == L' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == L' ') text.remove_suffix(1);
    return text;
}

// Removes leading U+0020 spaces only.
constexpr std::wstring_view TrimLeadingSpaces(std::wstring_view text) noexcept {
    while (!text.empty() && text.front() == L' ') text.remove_prefix(1);
    return text;
}

} // namespace ih
