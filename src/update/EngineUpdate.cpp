#include "update/EngineUpdate.h"

#include "frame/ActionData.h"
#include "frame/ActionLog.h"
#include "frame/FileOperations.h"
#include "frame/HResult.h"
#include "frame/Paths.h"
#include "frame/UniqueFileName.h"
#include "update/EngineHandshake.h"

#include <string>

namespace ih::update {

UINT UpdateQMXI(MSIHANDLE installation) {
    const ActionLog log;
    FolderPair folders;
    if (!ReadFolderPair(installation, log,
                        {{L"Error getting UpdateQmxi CustomActionData",
                          L"Empty string returned from GetProperty inside UpdateQMXI. Fatal error"},
                         L"UpdateQMXI custom action data was empty - cannot determine SOURCEDIR or INSTALLDIR"},
                        folders))
        return ERROR_INSTALL_FAILURE;
    const std::wstring& installFolder = folders.installFolder;
    const std::wstring& sourceFolder = folders.sourceFolder;

    // However the update ends, the update mutex is not left owned.
    const EngineUpdateScope update;
    const std::int32_t released = ReleaseEngine(installFolder, log);
    if (released != 0) log.Write(L"Error Uninstalling QMXI - error returned: %d", released);

    const std::wstring source = JoinPath(sourceFolder, kEngineLibrary);
    std::wstring engine = JoinPath(installFolder, kEngineLibrary);
    ::SetFileAttributesW(engine.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!::CopyFileW(source.c_str(), engine.c_str(), FALSE)) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_SHARING_VIOLATION) {
            log.Write(L"Error copying QMXI file (error returned was not ERROR_SHARING_VIOLATION), was: %s",
                      ActionLog::SystemErrorText(error));
            return ERROR_INSTALL_FAILURE;
        }
        // The installed engine is still loaded: the new one goes beside it
        // under a numbered name, and the next update removes the old one.
        log.WriteText(L"Error copying QMXI dll - attempting to rename and copy the file");
        std::wstring numbered;
        if (MakeUniqueFileName(installFolder, kEngineLibrary, numbered) < 0) {
            log.WriteText(L"Error renaming QMXI dll so that it can be copied. Fatal error");
            return ERROR_INSTALL_FAILURE;
        }
        if (!::CopyFileW(source.c_str(), numbered.c_str(), FALSE)) {
            const std::int32_t copyError = HResultFromWin32(static_cast<std::int32_t>(::GetLastError()));
            ::DeleteFileW(numbered.c_str()); // the empty placeholder is no engine
            log.Write(L"Error copying renamed QMXI file: %d. Fatal error", copyError);
            return ERROR_INSTALL_FAILURE;
        }
        engine = std::move(numbered);
    }

    for (const wchar_t* pattern : {L"*.DAT", L"*.vdb", L"Zorl.dll", L"KMTQ.dll", L"*.IDE"})
        CopyMatchingFiles(JoinPath(sourceFolder, pattern), installFolder, sourceFolder);

    if (RegisterEngine(engine) != ERROR_SUCCESS) {
        log.WriteText(L"Error installing QMXI dll");
        return ERROR_INSTALL_FAILURE;
    }
    log.WriteText(L"QMXI dll was installed successfully");
    return ERROR_SUCCESS;
}

UINT RemoveQMXI(MSIHANDLE installation) {
    const ActionLog log;
    const ActionData data = ReadActionData(installation, log, kCustomActionData,
                                           {L"Error getting REMOVEQMXIPROPERTY property",
                                            L"Empty string returned from GetProperty inside RemoveQMXI. Fatal error"});
    if (!data.Ok()) return ERROR_INSTALL_FAILURE;
    const std::wstring& folder = data.value;

    const EngineUpdateScope update;
    const std::int32_t released = ReleaseEngine(folder, log);
    if (released != 0) {
        log.Write(L"Error uninstalling QMXI dll, with the error: %s",
                  ActionLog::SystemErrorText(static_cast<DWORD>(released)));
        return ERROR_INSTALL_FAILURE;
    }

    const std::wstring engine = JoinPath(folder, kEngineLibrary);
    if (!::DeleteFileW(engine.c_str()) && ::SetFileAttributesW(engine.c_str(), FILE_ATTRIBUTE_NORMAL) &&
        !::DeleteFileW(engine.c_str()))
        log.WriteText(L"ERROR: Unable to delete the QMXI file");
    log.WriteText(L"QMXI dll uninstalled successfully");
    return ERROR_SUCCESS;
}

} // namespace ih::update
