// The machine's own permission calls.
//
// Files and folders are opened without following reparse points and the list
// is applied to that handle: the data folder lies where ordinary users can
// create folders, junctions and hard links before the installation, and a
// list set by path as Local System would land wherever such a name points.

#include "security/PermissionPlatform.h"

#include "frame/Handles.h"
#include "frame/WindowsVersion.h"

#include <aclapi.h>
#include <shlobj.h>

namespace ih::security {

namespace {

PACL AclPointer(const std::vector<std::uint8_t>& acl) noexcept {
    return reinterpret_cast<PACL>(const_cast<std::uint8_t*>(acl.data()));
}

class MachinePermissions final : public PermissionPlatform {
public:
    HRESULT CommonAppDataFolder(std::wstring& folder) override {
        wchar_t path[MAX_PATH] = {};
        const HRESULT result = ::SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path);
        if (SUCCEEDED(result)) folder = path;
        return result;
    }

    bool IsXpOrLater() override { return WindowsIsXpOrLater(); }

    DWORD SetFileDacl(const std::wstring& path, SECURITY_INFORMATION information,
                      const std::vector<std::uint8_t>& acl) override {
        const UniqueFileHandle target(::CreateFileW(
            path.c_str(), READ_CONTROL | WRITE_DAC, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (!target) return ::GetLastError();
        BY_HANDLE_FILE_INFORMATION facts{};
        if (!::GetFileInformationByHandle(target.get(), &facts)) return ::GetLastError();
        if (const DWORD refusal = TargetRefusal(facts.dwFileAttributes, facts.nNumberOfLinks)) return refusal;
        return ::SetSecurityInfo(target.get(), SE_FILE_OBJECT, information, nullptr, nullptr, AclPointer(acl), nullptr);
    }

    DWORD SetServiceDacl(const std::wstring& service, SECURITY_INFORMATION information,
                         const std::vector<std::uint8_t>& acl) override {
        std::wstring name = service; // the platform takes a writable name
        return ::SetNamedSecurityInfoW(name.data(), SE_SERVICE, information, nullptr, nullptr, AclPointer(acl),
                                       nullptr);
    }
};

} // namespace

DWORD TargetRefusal(DWORD attributes, DWORD links) noexcept {
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return kRefusedReparsePoint;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) && links > 1) return kRefusedLinkedFile;
    return 0;
}

PermissionPlatform& SystemPermissions() {
    static MachinePermissions machine;
    return machine;
}

} // namespace ih::security
