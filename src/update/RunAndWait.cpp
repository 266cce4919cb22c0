#include "update/RunAndWait.h"

#include "frame/Clock.h"
#include "frame/HResult.h"
#include "frame/Handles.h"

#include <string>

namespace ih::update {

HRESULT RunAndWait(std::wstring_view commandLine, DWORD timeout) {
    std::wstring line(commandLine);  // CreateProcessW may write to it
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION information{};
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &information))
        return HResultFromWin32(static_cast<std::int32_t>(::GetLastError()));
    const UniqueHandle process(information.hProcess);
    const UniqueHandle thread(information.hThread);
    ActiveClock().Wait(process.get(), timeout);
    return S_OK;
}

} // namespace ih::update
