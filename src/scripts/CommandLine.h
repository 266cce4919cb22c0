#pragma once
// The program a script command starts: what its run record is keyed by.

#include <string>
#include <string_view>

namespace ih::scripts {

// Program path: the text inside a leading double quote (trimmed of spaces),
// else the text up to the first space. Program name: the path's text after
// its last backslash, empty when it has none. False only for a command that
// begins with a double quote that is never closed.
bool SplitCommandLine(std::wstring_view command, std::wstring& programPath, std::wstring& programName);

} // namespace ih::scripts
