#pragma once
// Which Windows versions have Security Center: Windows XP from service pack 2
// on, and every version from Vista on. Windows 2000, Windows XP before service
// pack 2 and Server 2003 (5.2) have none.

namespace ih::notify {

struct WindowsVersion {
    unsigned long major = 0;
    unsigned long minor = 0;
    unsigned servicePackMajor = 0;
};

bool SecurityCenterApplies(const WindowsVersion& version) noexcept;

} // namespace ih::notify
