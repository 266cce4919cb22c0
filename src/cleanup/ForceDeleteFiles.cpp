#include "cleanup/UninstallCleanup.h"

#include "cleanup/DeleteMatchingFiles.h"
#include "frame/ActionData.h"
#include "frame/ActionLog.h"
#include "frame/Registry.h"
#include "frame/Paths.h"

#include <shlobj.h>

#include <string>

namespace ih::cleanup {

namespace {

constexpr std::wstring_view kProductKey = L"SOFTWARE\\Kestro\\";
constexpr std::wstring_view kAdaptersKey = L"Software\\Kestro\\Corvane\\ManagementAgent\\Adapters\\";
constexpr std::wstring_view kUserProductParentKey = L"SOFTWARE\\Kestro";
constexpr std::wstring_view kShortcutsFolder = L"\\Programs\\Kestro\\Kestro Anti-Virus\\";

// Deletes a file now or, when it is in use (or is a folder), at the next
// restart; the platform removes a folder then only if it is empty by then.
void DeleteNowOrAtRestart(const std::wstring& path) {
    if (path.empty() || ::DeleteFileW(path.c_str())) return;
    ::MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

void DeleteProductKeys(const ActionLog& log) {
    RegistryKey product;
    if (OpenRegistryKey(product, HKEY_LOCAL_MACHINE, kProductKey, kParentKeyAccess) == ERROR_SUCCESS) {
        if (const LONG error = DeleteKeyTree(product.get(), L"QMXService"); error != ERROR_SUCCESS)
            log.Write(L"Error deleting QMXService registry key. Returned error was: %s",
                      ActionLog::SystemErrorText(static_cast<DWORD>(error)));
        // The earlier generation's record goes only when nothing is left below it.
        ::RegDeleteKeyW(product.get(), L"BruskNT");
    }
    RegistryKey adapters;
    if (OpenRegistryKey(adapters, HKEY_LOCAL_MACHINE, kAdaptersKey, kParentKeyAccess) == ERROR_SUCCESS) {
        if (const LONG error = DeleteKeyTree(adapters.get(), L"QMX"); error != ERROR_SUCCESS)
            log.Write(L"Error deleting QMXAdapter registry key. Returned error was: %s",
                      ActionLog::SystemErrorText(static_cast<DWORD>(error)));
    }
    RegistryKey user;
    if (OpenRegistryKey(user, HKEY_CURRENT_USER, kUserProductParentKey, kParentKeyAccess) == ERROR_SUCCESS)
        DeleteKeyTree(user.get(), L"Kestro Anti-Virus");
}

} // namespace

UINT ForceDeleteFiles(MSIHANDLE installation) {
    const ActionLog log;
    const ActionData data =
        ReadActionData(installation, log, kCustomActionData,
                       {L"Error getting ForceDeleteFiles custom action data - there may be files left over",
                        L"An empty string was returned inside ForceDeleteFiles(), there may be files left over"});
    if (!data.Ok()) return ERROR_SUCCESS;
    const std::wstring folder = FolderWithBackslash(data.value);

    // The folders are named without their final separator, which is how the
    // restart-time deletion expects a path.
    const std::wstring folderItself = folder.substr(0, folder.find_last_not_of(L'\\') + 1);
    const std::size_t last = folderItself.find_last_of(L'\\');
    const std::wstring parent = last == std::wstring::npos ? std::wstring() : folderItself.substr(0, last);
    DeleteNowOrAtRestart(folder + L"msvcp71.dll");
    DeleteNowOrAtRestart(folder + L"msvcr71.dll");
    DeleteNowOrAtRestart(folderItself);
    DeleteNowOrAtRestart(parent);

    DeleteProductKeys(log);

    wchar_t startMenu[MAX_PATH] = {};
    if (SUCCEEDED(::SHGetFolderPathW(nullptr, CSIDL_COMMON_STARTMENU, nullptr, SHGFP_TYPE_CURRENT, startMenu))) {
        const std::wstring shortcuts = std::wstring(startMenu) + std::wstring(kShortcutsFolder);
        DeleteMatchingFiles(shortcuts + L"*.*", shortcuts, log);
        // The emptied shortcuts folder goes too; it stays when something is left in it.
        ::RemoveDirectoryW(shortcuts.c_str());
    }
    return ERROR_SUCCESS;
}

} // namespace ih::cleanup
