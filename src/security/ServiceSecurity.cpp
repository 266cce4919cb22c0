// SetServiceSecurity: who may control the product's services, and the product
// administrators group added to the launch permission of its COM server.

#include "security/PermissionActions.h"

#include "accounts/AccountLookup.h"
#include "accounts/ProductGroups.h"
#include "frame/ActionLog.h"
#include "frame/Registry.h"
#include "security/Dacl.h"
#include "security/SecurityDescriptor.h"
#include "security/SecurityError.h"

#include <span>
#include <vector>

namespace ih::security {

namespace {

constexpr std::uint32_t kEveryoneServiceAccess = GENERIC_READ | SERVICE_START; // 0x80000010
// Query, start, stop, pause and control, but not reconfigure: a service's
// GENERIC_WRITE includes SERVICE_CHANGE_CONFIG, with which any member of the
// product's group could point a Local System service at another program.
constexpr std::uint32_t kProductAdministratorServiceAccess = GENERIC_READ | GENERIC_EXECUTE; // 0xA0000000
constexpr std::uint32_t kAdministratorsServiceAccess =
    GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | WRITE_DAC | DELETE;                            // 0xE0050000
constexpr std::uint32_t kLocalSystemServiceAccess = GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE; // 0xE0000000

constexpr wchar_t kOleKey[] = L"SOFTWARE\\Microsoft\\OLE";
constexpr wchar_t kDefaultLaunchPermission[] = L"DefaultLaunchPermission";
constexpr wchar_t kProductAppIdKey[] = L"APPID\\{EEA3D6A3-3AEE-4BF4-B8EF-8A190CADD9B1}";
constexpr wchar_t kLaunchPermission[] = L"LaunchPermission";
constexpr std::uint32_t kComRightsExecute = 0x00000001;

// The machine's default launch permission, read into the descriptor; false
// when the value is missing, unreadable or not binary.
bool ReadDefaultLaunchPermission(SecurityDescriptor& descriptor) {
    RegistryKey ole;
    if (OpenRegistryKey(ole, HKEY_LOCAL_MACHINE, kOleKey, KEY_READ) != ERROR_SUCCESS) return false;
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExW(ole.get(), kDefaultLaunchPermission, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_BINARY)
        return false;
    std::vector<std::uint8_t> bytes(size);
    if (::RegQueryValueExW(ole.get(), kDefaultLaunchPermission, nullptr, &type, bytes.data(), &size) != ERROR_SUCCESS ||
        type != REG_BINARY)
        return false;
    // The size the second query answered: a value that shrank in between is
    // not read past its end. A descriptor reaching past it raises.
    descriptor.AssignSelfRelative(std::span(bytes.data(), size));
    return true;
}

// The descriptor's DACL as a list: its entries, a null-marked list for a null
// DACL, an empty one when there is none. False when the platform cannot say.
bool LoadLaunchList(const SecurityDescriptor& descriptor, Dacl& list) {
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL acl = nullptr;
    if (!::GetSecurityDescriptorDacl(descriptor.Descriptor(), &present, &acl, &defaulted)) return false;
    if (!present)
        list.Clear();
    else if (!acl)
        list.MarkNull();
    else
        list.LoadFromBinary(std::span(reinterpret_cast<const std::uint8_t*>(acl), acl->AclSize));
    return true;
}

// The product administrators group added to the default launch permission
// and written as the product's own; nothing is written unless every step
// succeeds, and a missing application key is not created.
void AddLaunchPermission(const Sid& productAdministrators, const ActionLog& log) {
    SecurityDescriptor descriptor;
    Dacl list;
    try {
        if (!ReadDefaultLaunchPermission(descriptor)) return;
        if (!LoadLaunchList(descriptor, list)) return;
    } catch (const SecurityError&) {
        log.WriteText(L"The default launch permission is not a valid security descriptor - the launch permission "
                      L"of the Kestro COM server is left unchanged");
        return;
    }
    if (!list.AddAllowed(productAdministrators, kComRightsExecute, 0)) return;
    descriptor.SetDacl(list);

    RegistryKey application;
    if (OpenRegistryKey(application, HKEY_CLASSES_ROOT, kProductAppIdKey, KEY_WRITE) != ERROR_SUCCESS) return;
    descriptor.MakeSelfRelative();
    ::RegSetValueExW(application.get(), kLaunchPermission, 0, REG_BINARY,
                     static_cast<const BYTE*>(descriptor.Descriptor()), descriptor.Length());
}

} // namespace

UINT SetServiceSecurity(PermissionPlatform& platform, accounts::AccountDatabase& accounts) {
    const ActionLog log;
    Dacl services;
    services.AddAllowed(Sid::FromWellKnown(WellKnownSid::Everyone), kEveryoneServiceAccess, 0);
    const Sid productAdministrators = accounts::LookUpAccount(accounts, accounts::kAdministratorGroup);
    if (!productAdministrators.IsEmpty())
        services.AddAllowed(productAdministrators, kProductAdministratorServiceAccess, 0);
    services.AddAllowed(Sid::FromWellKnown(WellKnownSid::Administrators), kAdministratorsServiceAccess, 0);
    services.AddAllowed(Sid::FromWellKnown(WellKnownSid::LocalSystem), kLocalSystemServiceAccess, 0);

    const std::vector<std::uint8_t>& acl = *services.BinaryAcl();
    if (platform.SetServiceDacl(L"QMXService", DACL_SECURITY_INFORMATION, acl) != ERROR_SUCCESS)
        log.WriteText(L"Unable to set the security for QMXService");
    if (platform.SetServiceDacl(L"QMXAdminService", DACL_SECURITY_INFORMATION, acl) != ERROR_SUCCESS)
        log.WriteText(L"Unable to set the security for QMXAdminService");

    AddLaunchPermission(productAdministrators, log);
    return ERROR_SUCCESS;
}

} // namespace ih::security
