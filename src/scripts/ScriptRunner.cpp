#include "scripts/ScriptRunner.h"

#include "frame/Process.h"
#include "scripts/ScriptOptions.h"
#include "scripts/ScriptRecord.h"

#include <windows.h>

#include <string>

namespace ih::scripts {

bool RunScript(std::wstring_view line, std::wstring_view installPath, std::wstring_view scriptPath,
               std::wstring_view version) {
    const ScriptOptions options = ParseScriptOptions(line);
    const std::wstring command = SubstitutePlaceholders(options.command, installPath, scriptPath, version);

    if (!options.runAlways) {
        bool matches = false;
        if (CheckScriptRecord(command, matches) && matches) return true; // ran already in exactly this form
    }

    // The usual "] command" of a configured line leaves leading spaces, which
    // StartProcess does not pass on.
    StartedProcess started;
    if (StartProcess(command, options.show ? ProcessWindow::Shown : ProcessWindow::Hidden, started) != ERROR_SUCCESS)
        return false;

    if (options.exitRule != kExitRuleNoWait) {
        // A script the configuration waits for is waited for without limit.
        WaitForProcess(started, INFINITE);
        if (options.exitRule != kExitRuleIgnoreExitCode) {
            DWORD exitCode = 0;
            if (!::GetExitCodeProcess(started.process.get(), &exitCode)) exitCode = 0;
            if (static_cast<std::int32_t>(exitCode) == options.exitRule) return false;
        }
    }
    if (!options.runAlways) RecordScript(command);
    return true;
}

} // namespace ih::scripts
