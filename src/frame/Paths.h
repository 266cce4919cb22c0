#pragma once
// The one rule for joining a folder and a name into a path. Portable.
//
//   JoinPath(L"C:\\Product", L"QMX.CFG")   -> C:\Product\QMX.CFG
//   JoinPath(L"C:\\Product\\", L"QMX.CFG") -> C:\Product\QMX.CFG
//   JoinPath(L"", L"QMX.CFG")              -> \QMX.CFG
//
// Names given to it never begin with a backslash; folders may end in one or
// not (installer folder properties do, some registry values do not).

#include <string>
#include <string_view>

namespace ih {

// `folder`, one backslash unless the folder already ends in one, then `name`.
std::wstring JoinPath(std::wstring_view folder, std::wstring_view name);

// `folder` ending in exactly the backslash JoinPath would put there: a prefix
// to which found file names are appended directly.
std::wstring FolderWithBackslash(std::wstring_view folder);

} // namespace ih
