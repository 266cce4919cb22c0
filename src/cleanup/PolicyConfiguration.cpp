#include "cleanup/PolicyConfiguration.h"

#include "cleanup/DeleteMatchingFiles.h"
#include "frame/ActionData.h"
#include "frame/ActionLog.h"
#include "frame/Handles.h"
#include "frame/Paths.h"
#include "frame/Process.h"

#include <string>

namespace ih::cleanup {

namespace {

// The folder value is used as the installer gives it (normally with its final
// separator) and the names carry their own, so the program sees the doubled
// separator and the folder argument exactly as it always has.
UINT ApplyPolicy(MSIHANDLE installation, const ActionLog& log) {
    const ActionData data =
        ReadActionData(installation, log, kCustomActionData,
                       {L"Error getting CustomActionData inside ConfigureQMX",
                        L"Empty string returned from GetProperty inside ConfigureQMX - unable to apply policy"});
    if (!data.Ok()) return ERROR_SUCCESS;
    const std::wstring& folder = data.value;

    const std::wstring policy = folder + L"\\qmxconf.xml";
    {
        const UniqueFileHandle file(::CreateFileW(policy.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                                  FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            const DWORD error = ::GetLastError();
            log.Write(L"Error opening the QMX policy files: %d. Unable to apply policy", error);
            return ERROR_SUCCESS;
        }
    }

    const std::wstring program = folder + L"\\ConfigureQMX.exe";
    // A program that does not start, or is still running after the wait, is
    // not reported here; its deletion below says whether it is still there.
    RunAndWait(L"\"" + program + L"\" \"" + folder + L"\"", kConfigurationProgramTimeout);
    // Found names are joined to a folder that ends in its separator, also when
    // the value lacks one, so that no other file is taken for the program.
    const std::wstring programFolder = FolderWithBackslash(folder);
    DeleteMatchingFiles(program, programFolder, log);
    return ERROR_SUCCESS;
}

} // namespace

UINT ConfigureQMX(MSIHANDLE installation) {
    const ActionLog log;
    try {
        return ApplyPolicy(installation, log);
    } catch (...) {
        log.WriteText(L"Exception caught inside Configure QMX. FATAL ERROR");
        return ERROR_INSTALL_FAILURE;
    }
}

} // namespace ih::cleanup
