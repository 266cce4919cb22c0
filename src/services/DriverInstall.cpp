#include "services/DriverInstall.h"

#include "frame/ActionData.h"
#include "frame/Fields.h"
#include "frame/FileOperations.h"
#include "frame/HResult.h"
#include "frame/Handles.h"
#include "frame/Paths.h"
#include "services/DriverSets.h"
#include "services/Platform.h"

#include <shlobj.h>

#include <string>

namespace ih::services {

namespace {

// The platform reports an existing service as 1073; 183 is kept for systems
// that answer with the generic code.
bool AlreadyExists(DWORD error) { return error == ERROR_SERVICE_EXISTS || error == ERROR_ALREADY_EXISTS; }

// A failure whose last error is 0 must still read as a failure.
std::int32_t FailureFromError(DWORD error) {
    return error == ERROR_SUCCESS ? static_cast<std::int32_t>(E_FAIL)
                                  : HResultFromWin32(static_cast<std::int32_t>(error));
}

DWORD CreateDriverService(SC_HANDLE manager, std::wstring_view name, const std::wstring& binaryPath) {
    const std::wstring serviceName(name);
    const UniqueServiceHandle service(
        ::CreateServiceW(manager, serviceName.c_str(), serviceName.c_str(), SERVICE_ALL_ACCESS,
                         SERVICE_FILE_SYSTEM_DRIVER, SERVICE_SYSTEM_START, SERVICE_ERROR_NORMAL, binaryPath.c_str(),
                         std::wstring(kDriverLoadOrderGroup).c_str(), nullptr, nullptr, nullptr, nullptr));
    return service ? ERROR_SUCCESS : ::GetLastError();
}

// The services have always been registered with a doubled separator before
// the file name; the platform reads it as one, and the path stays as it was.
std::wstring DriverBinaryPath(const std::wstring& driversFolder, std::wstring_view file) {
    return driversFolder + L"\\" + std::wstring(file);
}

DWORD OpenService(SC_HANDLE manager, std::wstring_view name) {
    const std::wstring serviceName(name);
    const UniqueServiceHandle service(::OpenServiceW(manager, serviceName.c_str(), SERVICE_ALL_ACCESS));
    return service ? ERROR_SUCCESS : ::GetLastError();
}

} // namespace

std::int32_t InstallAndLoadDrivers(std::wstring_view driverFolder, const ActionLog& log) {
    const std::wstring folder = FolderWithBackslash(driverFolder);
    const std::wstring filterSource = JoinPath(folder, kFilterDriverFile);
    const std::wstring controlSource = JoinPath(folder, kControlDriverFile);

    wchar_t system[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_SYSTEM, nullptr, SHGFP_TYPE_CURRENT, system))) {
        log.WriteText(
            L"InstallAndLoadDrivers: Unable to get the path to the System Directory - unable to install driver files");
        return E_UNEXPECTED;
    }
    const std::wstring drivers = FolderWithBackslash(JoinPath(system, L"Drivers"));
    {
        // A 32-bit process on a 64-bit machine would otherwise copy into the
        // redirected folder, where the system loads no drivers.
        const NativeFileSystemScope native;
        CopyMatchingFiles(filterSource, drivers, folder);
        CopyMatchingFiles(controlSource, drivers, folder);
    }

    const UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) {
        log.WriteText(L"InstallAndLoadDrivers: Failed to open QMXOnAccess Service Control Manager handle");
        return E_UNEXPECTED;
    }
    DWORD error = CreateDriverService(manager.get(), kFilterService, DriverBinaryPath(drivers, kFilterDriverFile));
    if (error != ERROR_SUCCESS) {
        log.WriteText(L"InstallAndLoadDrivers: Failed to return QMXOnAccess Filter driver handle");
        if (!AlreadyExists(error)) return FailureFromError(error);
    }
    error = CreateDriverService(manager.get(), kControlService, DriverBinaryPath(drivers, kControlDriverFile));
    if (error != ERROR_SUCCESS) {
        log.WriteText(L"InstallAndLoadDrivers: Failed to return QMXOnAccess Control driver handle");
        if (!AlreadyExists(error)) return FailureFromError(error);
    }
    if ((error = OpenService(manager.get(), kFilterService)) != ERROR_SUCCESS) {
        log.WriteText(L"InstallAndLoadDrivers: Failed to open QMXOnAccess Filter, error:");
        return FailureFromError(error);
    }
    if ((error = OpenService(manager.get(), kControlService)) != ERROR_SUCCESS) {
        log.WriteText(L"InstallAndLoadDrivers: Failed to open QMXOnAccess Control, error:");
        return FailureFromError(error);
    }
    return 0;
}

UINT InstallUnsignedDrivers(MSIHANDLE installation) {
    const ActionLog log;
    const ActionData data =
        ReadActionData(installation, log, kCustomActionData,
                       {L"Error getting InstallUnsignedDrivers CustomActionData",
                        L"Empty string returned from GetProperty inside InstallUnsignedDrivers. Fatal error"});
    if (!data.Ok()) return ERROR_INSTALL_FAILURE;

    std::int32_t position = 0;
    const std::wstring source = NextField(data.value, kFieldDelimiters, position);
    if (source.empty()) {
        log.WriteText(
            L"InstallUnsignedDrivers custom action data was empty - cannot determine SOURCEDIR or INSTALLDIR");
        return ERROR_INSTALL_FAILURE;
    }
    const std::wstring version = NextField(data.value, kFieldDelimiters, position);
    if (version.empty()) {
        log.WriteText(L"InstallUnsignedDrivers custom action data was empty - cannot determine Operating System");
        return ERROR_INSTALL_FAILURE;
    }
    const std::wstring_view setFolder = DriverSetFolder(version);
    if (setFolder.empty()) {
        log.WriteText(L"Unable to determine OS level from property set in InstallUnsignedDrivers");
        return ERROR_INSTALL_FAILURE;
    }
    if (InstallAndLoadDrivers(JoinPath(source, setFolder), log) < 0) log.WriteText(L"Failed to install driver files");
    return ERROR_SUCCESS;
}

} // namespace ih::services
