#pragma once
// Deleting the files that match one wildcard, as every clean-up step does.

#include "frame/ActionLog.h"

#include <string_view>

namespace ih::cleanup {

// Deletes every entry matching `pattern` (a full path whose last part may hold
// wildcards), each taken as `folder` + the found name. Each attempt is logged;
// a file that cannot be deleted even after its attributes were reset to normal
// is logged with the system's text for the error and left in place. Entries
// the platform returns as they are, "." and ".." included.
void DeleteMatchingFiles(std::wstring_view pattern, std::wstring_view folder, const ActionLog& log);

} // namespace ih::cleanup
