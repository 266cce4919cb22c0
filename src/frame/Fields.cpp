#include "frame/Fields.h"

#include "frame/Paths.h"

namespace ih {

std::wstring NextField(std::wstring_view text, std::wstring_view delimiters, std::int32_t& position) {
    if (position < 0 || static_cast<std::size_t>(position) >= text.size()) {
        position = kFieldsExhausted;
        return {};
    }
    const std::size_t start = text.find_first_not_of(delimiters, static_cast<std::size_t>(position));
    if (start == std::wstring_view::npos) {
        position = kFieldsExhausted;
        return {};
    }
    std::size_t end = text.find_first_of(delimiters, start);
    if (end == std::wstring_view::npos) end = text.size();
    // One past the character that ended the field; one past the end of the
    // text when the text ended it. A value longer than the position type can
    // hold is treated as ending here.
    const std::size_t next = end + 1;
    position = next > static_cast<std::size_t>(INT32_MAX) ? kFieldsExhausted : static_cast<std::int32_t>(next);
    return std::wstring(text.substr(start, end - start));
}

bool SplitFolderPair(std::wstring_view data, std::wstring& first, std::wstring& second) {
    std::int32_t position = 0;
    first = NextField(data, kFieldDelimiters, position);
    second = NextField(data, kFieldDelimiters, position);
    if (first.empty() || second.empty()) return false;
    first = FolderWithBackslash(first);
    second = FolderWithBackslash(second);
    return true;
}

} // namespace ih
