#include "update/OtherFiles.h"

#include "frame/ActionData.h"
#include "frame/ActionLog.h"
#include "frame/Clock.h"
#include "frame/FileOperations.h"
#include "frame/Fields.h"
#include "frame/Registry.h"

#include <string>

namespace ih::update {

UINT CopyOtherFiles(MSIHANDLE installation) {
    const ActionLog log;
    const ActionData data = ReadActionData(installation, log, kCustomActionData,
                                           {L"Error getting CopyOtherFiles CustomActionData",
                                            L"Empty string returned from GetProperty inside CopyOtherFiles. Fatal error"});
    if (!data.Ok()) return ERROR_INSTALL_FAILURE;

    std::wstring installFolder, sourceFolder;
    if (!SplitFolderPair(data.value, installFolder, sourceFolder)) {
        log.WriteText(L"CopyOtherFiles custom action data was empty - unable to determine SOURCEDIR or INSTALLDIR");
        return ERROR_INSTALL_FAILURE;
    }

    // The source folder already ends in a backslash; the patterns below add
    // their own as the package has always had them, and the system accepts the
    // doubled separator.
    const std::wstring driverFolder = sourceFolder + L"\\WinXP_i386\\";
    CopyMatchingFiles(sourceFolder + L"cidsync.upd", installFolder, sourceFolder);
    CopyMatchingFiles(driverFolder + L"QMXONACCESSDRIV.INF", installFolder, driverFolder);
    CopyMatchingFiles(sourceFolder + L"\\qmxconf.xml", installFolder, sourceFolder);
    CopyMatchingFiles(sourceFolder + L"\\ConfigureQMX.exe", installFolder, sourceFolder);
    return ERROR_SUCCESS;
}

UINT UpdateQmxAdapterDll(MSIHANDLE /*installation*/) {
    const ActionLog log;
    RegistryKey adapters;
    // Read, create subkey and set value: enough to delete a subkey.
    constexpr REGSAM kAdapterAccess = 0x2001F;
    if (OpenRegistryKey(adapters, HKEY_LOCAL_MACHINE, kAdaptersKey, kAdapterAccess) == ERROR_SUCCESS) {
        // Removes only a key without subkeys of its own; a registration that
        // has grown subkeys is left for the agent.
        const std::wstring subkey(kAdapterSubkey);
        ::RegDeleteKeyW(adapters.get(), subkey.c_str());
    }
    ActiveClock().Sleep(kAdapterReleasePause);
    CloseRegistryKey(adapters);
    return ERROR_SUCCESS;
}

} // namespace ih::update
