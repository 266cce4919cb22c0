#include "frame/Paths.h"

namespace ih {

std::wstring JoinPath(std::wstring_view folder, std::wstring_view name) {
    std::wstring path;
    path.reserve(folder.size() + 1 + name.size());
    path.append(folder);
    if (path.empty() || path.back() != L'\\') path.push_back(L'\\');
    path.append(name);
    return path;
}

std::wstring FolderWithBackslash(std::wstring_view folder) { return JoinPath(folder, {}); }

} // namespace ih
