#pragma once
// Running one configured script line: placeholders, the run-once check,
// starting, waiting, judging the exit code and recording.

#include <string_view>

namespace ih::scripts {

// True when the script ran acceptably or had run already; false when the
// stage must fail (it could not be started, or its exit code equals the
// line's failure code). Writes nothing to the action log.
bool RunScript(std::wstring_view line, std::wstring_view installPath, std::wstring_view scriptPath,
               std::wstring_view version);

} // namespace ih::scripts
