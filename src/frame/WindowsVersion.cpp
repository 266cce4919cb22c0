#include "frame/WindowsVersion.h"

#include <windows.h>

namespace ih {

bool WindowsIsXpOrLater() {
    OSVERSIONINFOEXW wanted{};
    wanted.dwOSVersionInfoSize = sizeof wanted;
    wanted.dwMajorVersion = 5;
    wanted.dwMinorVersion = 1;
    DWORDLONG condition = ::VerSetConditionMask(0, VER_MAJORVERSION, VER_GREATER_EQUAL);
    condition = ::VerSetConditionMask(condition, VER_MINORVERSION, VER_GREATER_EQUAL);
    return ::VerifyVersionInfoW(&wanted, VER_MAJORVERSION | VER_MINORVERSION, condition) != FALSE;
}

} // namespace ih
