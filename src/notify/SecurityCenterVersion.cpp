#include "notify/SecurityCenterVersion.h"

namespace ih::notify {

bool SecurityCenterApplies(const WindowsVersion& version) noexcept {
    if (version.major >= 6) return true;
    return version.major == 5 && version.minor == 1 && version.servicePackMajor >= 2;
}

} // namespace ih::notify
