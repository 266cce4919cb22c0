#pragma once
// The first steps every action shares: read its data, tell an unreadable value
// from an empty one, and log the action's own message for either.

#include "frame/ActionLog.h"

#include <windows.h>
#include <msi.h>

#include <string>
#include <string_view>

namespace ih {

inline constexpr std::wstring_view kCustomActionData = L"CustomActionData";

struct ActionData {
    enum class Outcome { Read, Unreadable, Empty };
    Outcome outcome = Outcome::Unreadable;
    std::wstring value;

    bool Ok() const noexcept { return outcome == Outcome::Read; }
};

struct ActionDataMessages {
    std::wstring_view unreadable; // as a rule "Error getting ..."
    std::wstring_view empty;      // as a rule "Empty string returned from GetProperty inside ..."
};

// Reads property `name`; on an unreadable or empty value writes the matching
// message to `log`. The caller chooses the result for each outcome.
ActionData ReadActionData(MSIHANDLE installation, const ActionLog& log, std::wstring_view name,
                          const ActionDataMessages& messages);

// The two folders at the head of a deferred action's CustomActionData, each
// ending in a backslash (see SplitFolderPair).
struct FolderPair {
    std::wstring installFolder;
    std::wstring sourceFolder;
};

struct FolderPairMessages {
    ActionDataMessages data;
    std::wstring_view missingField; // as a rule "... custom action data was empty - ..."
};

// The opening of an action that takes an installation and a source folder:
// reads CustomActionData, splits it, and on any failure writes the matching
// message to `log` and returns false (the action then fails with 1603).
bool ReadFolderPair(MSIHANDLE installation, const ActionLog& log, const FolderPairMessages& messages,
                    FolderPair& folders);

} // namespace ih
