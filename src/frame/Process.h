#pragma once
// Starting a program and waiting for it. The one way the library starts a
// process: no application name (the system finds the program in the command
// line), nothing inherited, no creation flags, the installer's environment and
// current folder. Waits go through the active clock, so tests can see them.

#include "frame/Handles.h"

#include <windows.h>

#include <string_view>

namespace ih {

// How the started program's first window is shown.
enum class ProcessWindow {
    Default, // the start-up record carries only its size
    Shown,   // SW_SHOW
    Hidden,  // SW_HIDE
};

struct StartedProcess {
    UniqueHandle process;
    UniqueHandle thread;
};

// Starts `commandLine`. Leading spaces are dropped (Windows skips them, Wine
// fails to find the program after them). 0 with `started` holding both
// handles, else the Win32 error of starting it.
DWORD StartProcess(std::wstring_view commandLine, ProcessWindow window, StartedProcess& started);

// Waits for the process through the active clock, up to `milliseconds`
// (INFINITE: without limit). WaitForSingleObject's result.
DWORD WaitForProcess(const StartedProcess& started, DWORD milliseconds);

// Starts `commandLine` with the default window and waits for it up to
// `milliseconds`; a process still running then is left running. 0 once the
// wait is over, else the error of starting it in HRESULT form.
HRESULT RunAndWait(std::wstring_view commandLine, DWORD milliseconds);

} // namespace ih
