#include "frame/Process.h"

#include "frame/Clock.h"
#include "frame/HResult.h"
#include "frame/Text.h"

#include <string>

namespace ih {

DWORD StartProcess(std::wstring_view commandLine, ProcessWindow window, StartedProcess& started) {
    std::wstring line(TrimLeadingSpaces(commandLine)); // CreateProcessW may write to it
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (window != ProcessWindow::Default) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = static_cast<WORD>(window == ProcessWindow::Shown ? SW_SHOW : SW_HIDE);
    }
    PROCESS_INFORMATION information{};
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &information))
        return ::GetLastError();
    started.process.reset(information.hProcess);
    started.thread.reset(information.hThread);
    return ERROR_SUCCESS;
}

DWORD WaitForProcess(const StartedProcess& started, DWORD milliseconds) {
    return ActiveClock().Wait(started.process.get(), milliseconds);
}

HRESULT RunAndWait(std::wstring_view commandLine, DWORD milliseconds) {
    StartedProcess started;
    const DWORD error = StartProcess(commandLine, ProcessWindow::Default, started);
    if (error != ERROR_SUCCESS) return HResultFromWin32(static_cast<std::int32_t>(error));
    WaitForProcess(started, milliseconds);
    return S_OK;
}

} // namespace ih
