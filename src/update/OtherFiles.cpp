#include "update/OtherFiles.h"

#include "frame/ActionData.h"
#include "frame/ActionLog.h"
#include "frame/Clock.h"
#include "frame/FileOperations.h"
#include "frame/Paths.h"
#include "frame/Registry.h"

#include <string>

namespace ih::update {

UINT CopyOtherFiles(MSIHANDLE installation) {
    const ActionLog log;
    FolderPair folders;
    if (!ReadFolderPair(installation, log,
                        {{L"Error getting CopyOtherFiles CustomActionData",
                          L"Empty string returned from GetProperty inside CopyOtherFiles. Fatal error"},
                         L"CopyOtherFiles custom action data was empty - unable to determine SOURCEDIR or INSTALLDIR"},
                        folders))
        return ERROR_INSTALL_FAILURE;
    const std::wstring& installFolder = folders.installFolder;
    const std::wstring& sourceFolder = folders.sourceFolder;

    const std::wstring driverFolder = FolderWithBackslash(JoinPath(sourceFolder, L"WinXP_i386"));
    CopyMatchingFiles(JoinPath(sourceFolder, L"cidsync.upd"), installFolder, sourceFolder);
    CopyMatchingFiles(JoinPath(driverFolder, L"QMXONACCESSDRIV.INF"), installFolder, driverFolder);
    CopyMatchingFiles(JoinPath(sourceFolder, L"qmxconf.xml"), installFolder, sourceFolder);
    CopyMatchingFiles(JoinPath(sourceFolder, L"ConfigureQMX.exe"), installFolder, sourceFolder);
    return ERROR_SUCCESS;
}

UINT UpdateQmxAdapterDll(MSIHANDLE /*installation*/) {
    {
        RegistryKey adapters;
        // Read, create subkey and set value: enough to delete a subkey.
        constexpr REGSAM kAdapterAccess = 0x2001F;
        if (OpenRegistryKey(adapters, HKEY_LOCAL_MACHINE, kAdaptersKey, kAdapterAccess) == ERROR_SUCCESS) {
            // Removes only a key without subkeys of its own; a registration that
            // has grown subkeys is left for the agent.
            const std::wstring subkey(kAdapterSubkey);
            ::RegDeleteKeyW(adapters.get(), subkey.c_str());
        }
    } // the key is not held through the pause
    ActiveClock().Sleep(kAdapterReleasePause);
    return ERROR_SUCCESS;
}

} // namespace ih::update
