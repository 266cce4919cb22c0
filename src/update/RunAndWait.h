#pragma once
// Running a program and waiting for it for a bounded time.

#include <windows.h>

#include <string_view>

namespace ih::update {

// Starts `commandLine` (no application name, nothing inherited) and waits for
// the process up to `timeout` ms through the active clock; it is not stopped
// when the time is up. 0 once the wait is over, else the error of starting it
// in HRESULT form.
HRESULT RunAndWait(std::wstring_view commandLine, DWORD timeout);

} // namespace ih::update
