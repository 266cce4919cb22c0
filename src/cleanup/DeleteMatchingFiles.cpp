#include "cleanup/DeleteMatchingFiles.h"

#include "frame/Handles.h"

#include <string>

namespace ih::cleanup {

void DeleteMatchingFiles(std::wstring_view pattern, std::wstring_view folder, const ActionLog& log) {
    const std::wstring search(pattern);
    WIN32_FIND_DATAW found{};
    const UniqueFindHandle find(::FindFirstFileW(search.c_str(), &found));
    if (!find) return;
    do {
        const std::wstring path = std::wstring(folder) + found.cFileName;
        log.Write(L"Attempting to delete file: %s", path);
        if (::DeleteFileW(path.c_str())) continue;
        // A read-only file is deleted once its attributes are reset; when even
        // that is refused there is nothing more to say.
        if (!::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL)) continue;
        if (::DeleteFileW(path.c_str())) continue;
        const DWORD error = ::GetLastError();
        log.Write(L"Error deleting file: %s with error: %s.", path, ActionLog::SystemErrorText(error));
    } while (::FindNextFileW(find.get(), &found));
}

} // namespace ih::cleanup
