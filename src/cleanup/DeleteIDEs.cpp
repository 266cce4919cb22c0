#include "cleanup/UninstallCleanup.h"

#include "cleanup/DeleteMatchingFiles.h"
#include "frame/ActionData.h"
#include "frame/ActionLog.h"
#include "frame/Paths.h"

#include <string>

namespace ih::cleanup {

UINT DeleteIDEs(MSIHANDLE installation) {
    const ActionLog log;
    const ActionData data =
        ReadActionData(installation, log, kCustomActionData,
                       {L"Error getting DeleteIDEs custom action data - unable to delete extra files",
                        L"Empty string returned from GetProperty inside DeleteIDEs. IDEs will not be deleted"});
    if (!data.Ok()) return ERROR_SUCCESS;
    const std::wstring folder = FolderWithBackslash(data.value);
    DeleteMatchingFiles(folder + L"*.ide", folder, log);
    return ERROR_SUCCESS;
}

} // namespace ih::cleanup
