#pragma once
// The fixture programs that play the product's other components
// (tests/windows/fixtures), found beside the test program, and the processes
// started from them.

#include "frame/Handles.h"

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace ih::test {

// Full path of a fixture built into the "fixtures" folder beside this program.
std::wstring FixturePath(std::wstring_view fileName);

// A file the build made outside the fixtures folder, named by a Unix path in
// the environment variable (Wine maps it on Z:). The test run always sets it:
// without it this throws, so the test fails rather than skips.
std::wstring BuiltFilePath(const char* variable);

// Quotes one command-line argument.
std::wstring Quoted(std::wstring_view argument);

// A process started for one test: killed, if still running, when the test ends.
class ChildProcess {
public:
    // Starts `commandLine`; when `startedEvent` is given, waits (up to 20 s) for
    // the process to set that named event. Throws when it does not start.
    explicit ChildProcess(const std::wstring& commandLine, const std::wstring& startedEvent = {},
                          HANDLE standardOutput = nullptr);
    ChildProcess(ChildProcess&&) noexcept = default;
    ~ChildProcess();

    // Waits for the process to end; its exit code, or STILL_ACTIVE after `timeout`.
    DWORD Wait(DWORD timeout = 30000) const;
    HANDLE Handle() const noexcept { return process_.get(); }

private:
    void EndIfRunning() const noexcept;

    UniqueHandle process_;
};

// A name for a started event that no other test uses.
std::wstring UniqueEventName(std::wstring_view what);

// The lines of a text file the fixtures wrote (UTF-8); empty when there is none.
std::vector<std::wstring> ReadLines(const std::wstring& path);

} // namespace ih::test
