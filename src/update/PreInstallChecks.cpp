#include "update/PreInstallChecks.h"

#include "frame/ActionLog.h"
#include "frame/Handles.h"
#include "frame/Installer.h"
#include "frame/Paths.h"
#include "frame/Process.h"
#include "frame/RestartMarker.h"
#include "update/ClassicProduct.h"

#include <string>

namespace ih::update {

namespace {

// Ends the checks; the action tells the user through error 3002.
class ClassicRemovalFailed : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

bool RestartPending() {
    const std::wstring marker = RestartMarkerPath();
    const UniqueFileHandle file(::CreateFileW(marker.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
    return static_cast<bool>(file);
}

UINT RemoveClassicProduct(const ActionLog& log) {
    std::wstring folder;
    if (!IsClassicProductInstalled(folder)) return ERROR_SUCCESS;

    CloseClassicWindows();
    // Its exit code says nothing reliable; the second look decides.
    RunAndWait(L"\"" + JoinPath(folder, L"setup.exe") + L"\" -ni -remove -noimp", kClassicUninstallTimeout);

    std::wstring stillThere;
    if (IsClassicProductInstalled(stillThere)) {
        log.WriteText(L"Uninstallation of Classic QMX was unsuccessful - exiting installation");
        throw ClassicRemovalFailed("the earlier generation survived its uninstaller");
    }
    return ERROR_SUCCESS;
}

} // namespace

UINT PreInstallChecks(MSIHANDLE installation) {
    const ActionLog log;
    if (RestartPending()) {
        PostInstallerMessage(installation, kRestartPendingMessage, false);
        return ERROR_INSTALL_FAILURE;
    }
    try {
        return RemoveClassicProduct(log);
    } catch (...) {
        PostInstallerMessage(installation, kClassicRemovalFailedMessage, false, L"Kestro Anti-Virus");
        return ERROR_INSTALL_FAILURE;
    }
}

} // namespace ih::update
