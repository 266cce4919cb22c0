#pragma once
// One line of the script configuration: its options and its command.
//
//   [RunAlways, Show, 3] %ScriptPath%\after.bat
//
// Options come in that order, each optional: RunAlways, Show, then the wait
// item (NoneWait, None, or the exit code that counts as failure).

#include <cstdint>
#include <string>
#include <string_view>

namespace ih::scripts {

// Start the script and do not wait for it.
inline constexpr std::int32_t kExitRuleNoWait = 1048575; // 0xFFFFF
// Wait for the script and ignore its exit code.
inline constexpr std::int32_t kExitRuleIgnoreExitCode = 1048574; // 0xFFFFE

struct ScriptOptions {
    std::wstring command;
    bool runAlways = false;
    bool show = false;
    // kExitRuleNoWait, kExitRuleIgnoreExitCode, or the exit code that fails the script.
    std::int32_t exitRule = kExitRuleIgnoreExitCode;
};

ScriptOptions ParseScriptOptions(std::wstring_view line);

// Replaces %InstallPath%, then %ScriptPath%, then %QmxVersion% (case-sensitive);
// replacement text is never scanned again within its own step.
std::wstring SubstitutePlaceholders(std::wstring_view command, std::wstring_view installPath,
                                    std::wstring_view scriptPath, std::wstring_view version);

} // namespace ih::scripts
