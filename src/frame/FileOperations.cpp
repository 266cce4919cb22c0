#include "frame/FileOperations.h"

#include "frame/Handles.h"

#include <string>

namespace ih {

UINT CopyMatchingFiles(std::wstring_view pattern, std::wstring_view destinationPrefix, std::wstring_view sourcePrefix) {
    const std::wstring search(pattern);
    WIN32_FIND_DATAW found{};
    UniqueFindHandle find(::FindFirstFileW(search.c_str(), &found));
    if (!find) return ERROR_SUCCESS;
    do {
        const std::wstring source = std::wstring(sourcePrefix) + found.cFileName;
        const std::wstring destination = std::wstring(destinationPrefix) + found.cFileName;
        if (!::CopyFileW(source.c_str(), destination.c_str(), FALSE) &&
            ::SetFileAttributesW(destination.c_str(), FILE_ATTRIBUTE_NORMAL)) {
            ::CopyFileW(source.c_str(), destination.c_str(), FALSE);
        }
    } while (::FindNextFileW(find.get(), &found));
    return ERROR_SUCCESS;
}

} // namespace ih
