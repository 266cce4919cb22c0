#include "frame/RestartMarker.h"

#include "frame/Paths.h"

#include <windows.h>
#include <userenv.h>

namespace ih {

std::wstring RestartMarkerPath() {
    constexpr DWORD kTempCapacity = 260;
    wchar_t temp[kTempCapacity] = {};
    if (!::ExpandEnvironmentStringsForUserW(nullptr, L"%TEMP%", temp, kTempCapacity)) temp[0] = L'\0';
    return JoinPath(temp, kRestartMarkerName);
}

} // namespace ih
