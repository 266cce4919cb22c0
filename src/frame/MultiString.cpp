#include "frame/MultiString.h"

namespace ih {

bool MultiStringHasEntry(std::wstring_view data, std::wstring_view entry) {
    while (!data.empty()) {
        const std::size_t end = data.find(L'\0');
        const std::wstring_view current = data.substr(0, end);
        if (current.empty()) return false; // the empty entry ends the list
        if (current == entry) return true;
        if (end == std::wstring_view::npos) return false;
        data.remove_prefix(end + 1);
    }
    return false;
}

} // namespace ih
