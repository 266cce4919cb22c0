#include "frame/ActionGuard.h"

namespace ih {

void LogUnexpectedError(const wchar_t* action, const wchar_t* what) noexcept {
    try {
        ActionLog().Write(L"%s ended early: %s", action, what);
    } catch (...) {
        // Nothing more can be done; the result still reaches the installer.
    }
}

} // namespace ih
