#include "scripts/ScriptRunner.h"

#include "frame/Clock.h"
#include "frame/Handles.h"
#include "frame/Text.h"
#include "scripts/ScriptOptions.h"
#include "scripts/ScriptRecord.h"

#include <windows.h>

#include <string>
#include <vector>

namespace ih::scripts {

namespace {

struct StartedProcess {
    UniqueHandle process;
    UniqueHandle thread;
};

bool Start(const std::wstring& command, bool show, StartedProcess& started) {
    // The command line must be writable. Leading spaces (the usual "] command"
    // of a configured line) are harmless to Windows but make Wine's process
    // creation fail, so they are not passed on.
    const std::wstring_view text = TrimLeadingSpaces(command);
    std::vector<wchar_t> buffer(text.begin(), text.end());
    buffer.push_back(L'\0');

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(show ? SW_SHOW : SW_HIDE);
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return false;
    started.process.reset(info.hProcess);
    started.thread.reset(info.hThread);
    return true;
}

} // namespace

bool RunScript(std::wstring_view line, std::wstring_view installPath, std::wstring_view scriptPath,
               std::wstring_view version) {
    const ScriptOptions options = ParseScriptOptions(line);
    const std::wstring command = SubstitutePlaceholders(options.command, installPath, scriptPath, version);

    if (!options.runAlways) {
        bool matches = false;
        if (CheckScriptRecord(command, matches) && matches) return true;  // ran already in exactly this form
    }

    StartedProcess started;
    if (!Start(command, options.show, started)) return false;

    if (options.exitRule != kExitRuleNoWait) {
        // A script the configuration waits for is waited for without limit.
        ActiveClock().Wait(started.process.get(), INFINITE);
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
