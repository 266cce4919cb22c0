// SetFolderPermissions: the access lists of the product's data folder tree in
// the machine-wide application data folder.

#include "security/PermissionActions.h"

#include "accounts/AccountLookup.h"
#include "accounts/ProductGroups.h"
#include "frame/ActionLog.h"
#include "frame/HResult.h"
#include "frame/Paths.h"
#include "security/Dacl.h"
#include "security/PlatformSid.h"

#include <string>

namespace ih::security {

namespace {

constexpr std::uint8_t kInherit = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE; // 0x03
constexpr std::uint32_t kReadWrite = GENERIC_READ | GENERIC_WRITE;            // 0xC0000000
constexpr std::uint32_t kReadWriteDelete =
    GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | FILE_DELETE_CHILD; // 0xE0000040

// The list replaces the object's own and the object stops inheriting.
constexpr SECURITY_INFORMATION kProtectedList = DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION;

constexpr wchar_t kLocalService[] = L"S-1-5-19";
constexpr wchar_t kXpServiceAccountLine[] =
    L"We are running on XP or higher - adding LocalService to permissions on config files";
constexpr wchar_t kOnAccessAdditionFailure[] = L"Unable to add OnAccess group to the permissions of the log file";

class FolderTree {
public:
    FolderTree(PermissionPlatform& platform, const ActionLog& log) : platform_(platform), log_(log) {}

    // Sets the list on one target; a failure is logged and the action goes on.
    void Apply(const std::wstring& path, Dacl& list, SECURITY_INFORMATION information,
               const wchar_t* failureLine) const {
        const DWORD result = platform_.SetFileDacl(path, information, *list.BinaryAcl());
        if (result == ERROR_SUCCESS) return;
        log_.WriteText(failureLine);
        if (result == kRefusedReparsePoint)
            log_.Write(L"%s was left unchanged: it is a reparse point", path);
        else if (result == kRefusedLinkedFile)
            log_.Write(L"%s was left unchanged: the file has more than one name", path);
    }

    // The service account with `mask`: local service on XP and later (left
    // out, silently, when its identifier cannot be made), local system before.
    // False, logged, when the list refuses it.
    bool AddServiceAccount(Dacl& list, std::uint32_t mask, std::uint8_t flags, bool announceLocalSystem) const {
        if (platform_.IsXpOrLater()) {
            log_.WriteText(kXpServiceAccountLine);
            const Sid localService = SidFromString(kLocalService);
            if (localService.IsEmpty()) return true;
            if (list.AddAllowed(localService, mask, flags)) return true;
            log_.WriteText(L"Unable to add Local Service to the permissions of the config files");
            return false;
        }
        if (announceLocalSystem)
            log_.WriteText(L"We are running on 2K - adding LocalSystem to permissions on config files");
        if (list.AddAllowed(Sid::FromWellKnown(WellKnownSid::LocalSystem), mask, flags)) return true;
        log_.WriteText(L"Unable to add Local System to the permissions of the config files");
        return false;
    }

private:
    PermissionPlatform& platform_;
    const ActionLog& log_;
};

} // namespace

UINT LastErrorFailureCode() noexcept {
    const std::int32_t code = HResultFromWin32(static_cast<std::int32_t>(::GetLastError()));
    return code == 0 ? static_cast<UINT>(E_FAIL) : static_cast<UINT>(code);
}

UINT SetFolderPermissions(PermissionPlatform& platform, accounts::AccountDatabase& accounts) {
    const ActionLog log;
    std::wstring appData;
    if (FAILED(platform.CommonAppDataFolder(appData))) {
        log.WriteText(L"Unable to get Common app data path inside SetFolderPermissions custom action");
        return ERROR_INSTALL_FAILURE;
    }
    const std::wstring productData = JoinPath(appData, L"Kestro\\Kestro Anti-Virus");
    const std::wstring config = JoinPath(productData, L"Config");
    const auto configFile = [&](const wchar_t* name) { return JoinPath(config, name); };

    const FolderTree tree(platform, log);
    const Sid administrators = Sid::FromWellKnown(WellKnownSid::Administrators);
    const Sid everyone = Sid::FromWellKnown(WellKnownSid::Everyone);

    // Configuration files only administrators change: not inherited.
    Dacl configList;
    if (!configList.AddAllowed(administrators, GENERIC_ALL, 0)) {
        log.WriteText(L"Unable to add Local Admins to the permissions of the config files");
        return ERROR_INSTALL_FAILURE;
    }
    const Sid onAccess = accounts::LookUpAccount(accounts, accounts::kOnAccessGroup);
    if (onAccess.IsEmpty())
        log.WriteText(L"Unable to load the Onaccess account - will not be added to permissions on the log file");
    else if (!configList.AddAllowed(onAccess, GENERIC_READ, 0))
        log.WriteText(kOnAccessAdditionFailure);
    if (!tree.AddServiceAccount(configList, GENERIC_READ, 0, false)) return ERROR_INSTALL_FAILURE;

    tree.Apply(configFile(L"bootstrap.xml"), configList, kProtectedList,
               L"Unable to add set access permissions on the bootstrap file");
    tree.Apply(configFile(L"Factory.xml"), configList, kProtectedList,
               L"Unable to add set access permissions on the factory file");
    tree.Apply(configFile(L"storebootstrap.xml"), configList, kProtectedList,
               L"Unable to add set access permissions on the Storebootstrap file");

    // The inherited base every other list starts from.
    Dacl base;
    if (!base.AddAllowed(administrators, GENERIC_ALL, kInherit)) {
        log.WriteText(L"Unable to add Local Admins to the base DACL");
        return LastErrorFailureCode();
    }
    if (!tree.AddServiceAccount(base, GENERIC_ALL, kInherit, true)) return ERROR_INSTALL_FAILURE;

    Dacl productList = base;
    if (!productList.AddAllowed(onAccess, GENERIC_ALL, kInherit)) log.WriteText(kOnAccessAdditionFailure);
    tree.Apply(configFile(L"Machine.xml"), productList, kProtectedList,
               L"Unable to add set access permissions on the Machine file");
    tree.Apply(configFile(L"Quarantine.xml"), productList, kProtectedList,
               L"Unable to add set access permissions on the Quarantine file");

    const Sid productAdministrators = accounts::LookUpAccount(accounts, accounts::kAdministratorGroup);
    if (productAdministrators.IsEmpty()) {
        log.WriteText(L"Unable to load the KestroAdmin account - will not add Kestro Admins to the permissions of "
                      L"the config files");
    } else if (!productList.AddAllowed(productAdministrators, GENERIC_ALL, kInherit)) {
        log.WriteText(L"Unable to add Kestro Admins to the permissions of the config files");
        return ERROR_INSTALL_FAILURE;
    }
    // The log folder still inherits from the product data folder.
    tree.Apply(JoinPath(productData, L"logs"), productList, DACL_SECURITY_INFORMATION,
               L"Unable to add set access permissions on the Log directory");

    // Everyone writes infected files in, but files there inherit only the base.
    Dacl infectedList = base;
    if (!infectedList.AddAllowed(everyone, kReadWrite, 0))
        log.WriteText(L"Unable to add Everyone group to the permissions of the INFECTED file");
    tree.Apply(JoinPath(productData, L"Infected"), infectedList, kProtectedList,
               L"Unable to add set access permissions on the INFECTED directory");

    Dacl engineConfigList = base;
    if (!engineConfigList.AddAllowed(everyone, GENERIC_READ, kInherit)) {
        log.WriteText(L"Unable to add Everyone to the permissions of the config files");
        return LastErrorFailureCode();
    }
    tree.Apply(configFile(L"QMXIConfigFile.xml"), engineConfigList, kProtectedList,
               L"Unable to add set access permissions on the QMXIConfigFile file");

    Dacl temporaryList = base;
    if (!temporaryList.AddAllowed(everyone, kReadWriteDelete, kInherit))
        log.WriteText(L"Unable to add Everyone group to the permissions of the Kestro TEMP directory");
    tree.Apply(JoinPath(productData, L"TEMP"), temporaryList, kProtectedList,
               L"Unable to add set access permissions on the Kestro TEMP directory");
    return ERROR_SUCCESS;
}

} // namespace ih::security
