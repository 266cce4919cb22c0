#include "services/DriverProperty.h"

#include "frame/ActionData.h"
#include "frame/Handles.h"
#include "frame/Installer.h"
#include "frame/Paths.h"
#include "frame/WindowsVersion.h"
#include "services/DriverSets.h"
#include "services/Platform.h"

#include <userenv.h>

namespace ih::services {

namespace {
constexpr std::wstring_view kSourceDirMessage =
    L"Error getting SOURCEDIR property inside SetDriverProperty custom action";

bool Is64BitArchitecture(std::wstring_view architecture) {
    return ChooseDriverSet(architecture, true).version != L"XP";
}
} // namespace

DriverPlatform MachineDriverPlatform() {
    DriverPlatform platform;
    wchar_t expanded[260] = {};
    if (::ExpandEnvironmentStringsForUserW(nullptr, L"%PROCESSOR_ARCHITECTURE%", expanded, 260))
        platform.architecture = expanded;
    // A 32-bit process on a 64-bit machine is told "x86"; the machine's own
    // architecture, which decides the drivers, is in PROCESSOR_ARCHITEW6432.
    if (!Is64BitArchitecture(platform.architecture) && RunsUnderWow64())
        platform.nativeArchitecture = ProcessEnvironmentVariable(L"PROCESSOR_ARCHITEW6432");
    platform.xpOrLater = ih::WindowsIsXpOrLater();
    return platform;
}

UINT SetDriverProperty(MSIHANDLE installation) {
    const ActionLog log;
    return SetDriverPropertyOn(installation, log, MachineDriverPlatform());
}

UINT SetDriverPropertyOn(MSIHANDLE installation, const ActionLog& log, const DriverPlatform& platform) {
    const ActionData source = ReadActionData(installation, log, L"SOURCEDIR", {kSourceDirMessage, kSourceDirMessage});
    if (!source.Ok()) return ERROR_INSTALL_FAILURE;
    if (source.value.size() < 2) {
        log.WriteText(kSourceDirMessage);
        return ERROR_INSTALL_FAILURE;
    }

    log.Write(L"PROCESSOR_ARCHITECTURE environment variable is: %s", platform.architecture);
    std::wstring_view architecture = platform.architecture;
    if (!platform.nativeArchitecture.empty()) {
        log.Write(L"PROCESSOR_ARCHITEW6432 environment variable is: %s", platform.nativeArchitecture);
        architecture = platform.nativeArchitecture;
    }

    const DriverSet set = ChooseDriverSet(architecture, platform.xpOrLater);
    if (set.version == L"AMD64" || set.version == L"IA64") {
        log.Write(L"Setting the DriverProperty to %s", set.version);
        SetInstallerProperty(installation, L"DRIVERVERSION", set.version);
    } else if (set.version == L"2K") {
        SetInstallerProperty(installation, L"DRIVERVERSION", set.version);
        return ERROR_SUCCESS; // Windows 2000 drivers carry no catalogue
    } else if (SetInstallerProperty(installation, L"DRIVERVERSION", set.version) != ERROR_SUCCESS) {
        return ERROR_INSTALL_FAILURE;
    }

    const std::wstring catalogue = JoinPath(JoinPath(source.value, set.folder), kDriverCatalogue);
    const UniqueFileHandle file(::CreateFileW(catalogue.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) SetInstallerProperty(installation, L"UPDATEDRIVERS", L"2");
    return ERROR_SUCCESS;
}

} // namespace ih::services
