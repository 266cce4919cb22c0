#include "cleanup/UninstallCleanup.h"

#include "cleanup/DeleteMatchingFiles.h"
#include "cleanup/ScheduledScans.h"
#include "frame/ActionData.h"
#include "frame/ActionLog.h"
#include "frame/Handles.h"
#include "frame/Registry.h"
#include "frame/RestartMarker.h"
#include "frame/Paths.h"

#include <shlobj.h>

#include <string>

namespace ih::cleanup {

namespace {

// In this order; each is appended to the installation folder. The doubled
// separator of the last one is read by the platform as one.
constexpr std::wstring_view kInstallFolderPatterns[] = {
    L"*.IDE",
    L"*.DAT",
    L"*.vdb",
    L"cidsync.upd",
    L"QMXONACCESSDRIV.INF",
    L"Zorl.dll",
    L"KMTQ.dll",
    L"\\ConfigureQMX.exe",
};

constexpr std::wstring_view kProductDataFolder = L"\\Kestro\\Kestro Anti-Virus\\";
constexpr std::wstring_view kUserConfiguration =
    L"\\Local Settings\\Application Data\\Kestro\\Kestro Anti-Virus\\Config\\User.xml";

// Scheduled scans: false when the task scheduler cannot be reached, which ends
// the clean-up. COM is balanced within this call: uninitialised only when this
// call's initialisation succeeded, after every interface is released.
bool DeleteScheduledScans(const ActionLog& log) {
    const ComApartment apartment(COINIT_APARTMENTTHREADED);
    ComPtr<ITaskScheduler> scheduler;
    if (FAILED(CreateTaskScheduler(scheduler)) || !scheduler) {
        log.WriteText(L"Unable to create the TaskScheduler - Scheduled tasks cannot be deleted");
        return false;
    }
    ComPtr<IEnumWorkItems> items;
    if (FAILED(scheduler->Enum(items.put())) || !items) {
        log.WriteText(L"Unable to create the IEnumWorkItems object - Scheduled tasks cannot be deleted");
        return false;
    }
    DeleteProductWorkItems(*scheduler.get(), *items.get());
    return true;
}

// Every user's own configuration file, found through the folder that holds the
// current user's profile. False when that profile folder is unknown.
bool DeleteUserConfigurations() {
    wchar_t profile[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_PROFILE, nullptr, SHGFP_TYPE_CURRENT, profile))) return false;
    std::wstring root = profile;
    while (!root.empty() && root.back() == L'\\') root.pop_back();
    const std::size_t last = root.find_last_of(L'\\');
    if (last == std::wstring::npos) return true;
    root.resize(last);

    WIN32_FIND_DATAW found{};
    const UniqueFindHandle find(::FindFirstFileW((root + L"\\*.*").c_str(), &found));
    if (!find) return true;
    do {
        const std::wstring_view name = found.cFileName;
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || name == L"." || name == L"..") continue;
        ::DeleteFileW((root + L"\\" + std::wstring(name) + std::wstring(kUserConfiguration)).c_str());
    } while (::FindNextFileW(find.get(), &found));
    return true;
}

// Creates the restart marker, or finds it there (the temporary folder is open
// to every user, so a marker found may have been planted), and schedules its
// deletion at the next restart either way. A marker this call created but
// cannot schedule is deleted again, since nothing would ever remove it.
// Returns 0, or the error of the scheduling.
DWORD PlaceRestartMarker(const std::wstring& marker) {
    UniqueFileHandle file(
        ::CreateFileW(marker.c_str(), GENERIC_ALL, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    const DWORD createError = file ? ERROR_SUCCESS : ::GetLastError();
    if (!file && createError != ERROR_FILE_EXISTS && createError != ERROR_ALREADY_EXISTS) return ERROR_SUCCESS;
    if (::MoveFileExW(marker.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) return ERROR_SUCCESS;
    const DWORD error = ::GetLastError();
    if (file) {
        file.reset();
        ::DeleteFileW(marker.c_str());
    }
    return error;
}

} // namespace

UINT DeleteOtherFiles(MSIHANDLE installation) {
    const ActionLog log;
    const ActionData data = ReadActionData(
        installation, log, kCustomActionData,
        {L"Error getting DeleteOtherFiles custom action data - unable to delete extra files",
         L"Empty string returned from GetProperty inside DeleteOtherFiles. Some files will not be deleted"});
    if (!data.Ok()) return ERROR_SUCCESS;
    const std::wstring folder = FolderWithBackslash(data.value);

    for (const std::wstring_view pattern : kInstallFolderPatterns)
        DeleteMatchingFiles(folder + std::wstring(pattern), folder, log);

    wchar_t commonData[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, commonData))) {
        log.WriteText(L"Unable to get the path to the Configuration files, these may not be deleted");
        return ERROR_SUCCESS;
    }
    const std::wstring productData = std::wstring(commonData) + std::wstring(kProductDataFolder);
    const std::wstring config = productData + L"Config\\";
    const std::wstring logs = productData + L"logs\\";
    const std::wstring infected = productData + L"Infected\\";
    DeleteMatchingFiles(config + L"*.xml", config, log);
    DeleteMatchingFiles(logs + L"QMX*.txt", logs, log);
    DeleteMatchingFiles(infected + L"*.*", infected, log);
    // The emptied quarantine folder goes too; it stays when something is left in it.
    ::RemoveDirectoryW(infected.c_str());

    if (!DeleteScheduledScans(log)) return ERROR_SUCCESS;

    if (!DeleteUserConfigurations()) {
        log.WriteText(L"Unable to get the CSIDL_PROFILES directory, the user scans will not be deleted");
        return ERROR_SUCCESS;
    }

    const std::wstring marker = RestartMarkerPath();
    if (const DWORD error = PlaceRestartMarker(marker); error != ERROR_SUCCESS)
        log.Write(L"Unable to schedule the deletion of %s at restart. Returned error was: %s", marker,
                  ActionLog::SystemErrorText(error));

    RegistryKey appIds;
    if (OpenRegistryKey(appIds, HKEY_CLASSES_ROOT, L"AppID", kParentKeyAccess) == ERROR_SUCCESS) {
        const std::wstring appId(kProductAppId);
        ::RegDeleteKeyW(appIds.get(), appId.c_str());
    }
    return ERROR_SUCCESS;
}

} // namespace ih::cleanup
