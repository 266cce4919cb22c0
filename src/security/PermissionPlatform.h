#pragma once
// What the permission actions ask of the machine: the common application data
// folder, the version test, and setting an access list on a file, a folder or
// a service. Wine keeps a file's list only as Unix mode bits, so the tests
// observe these calls through a recording platform; the library always passes
// SystemPermissions().

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace ih::security {

class PermissionPlatform {
public:
    virtual ~PermissionPlatform() = default;

    // SHGetFolderPathW(CSIDL_COMMON_APPDATA), current path: the folder, or a
    // failure HRESULT.
    virtual HRESULT CommonAppDataFolder(std::wstring& folder) = 0;
    virtual bool IsXpOrLater() = 0;
    // The binary ACL as the DACL of the file or folder at `path`, with the
    // given security information (no owner, group or SACL); a Win32 code.
    virtual DWORD SetFileDacl(const std::wstring& path, SECURITY_INFORMATION information,
                              const std::vector<std::uint8_t>& acl) = 0;
    // The same for the service named `service`.
    virtual DWORD SetServiceDacl(const std::wstring& service, SECURITY_INFORMATION information,
                                 const std::vector<std::uint8_t>& acl) = 0;
};

PermissionPlatform& SystemPermissions();

// Why a target opened for its list is refused, from what its handle says:
// 0 (not refused), kRefusedReparsePoint, or kRefusedLinkedFile (a file with
// more than one name, which another name could have put there).
inline constexpr DWORD kRefusedReparsePoint = ERROR_REPARSE_ATTRIBUTE_CONFLICT; // 4391
inline constexpr DWORD kRefusedLinkedFile = ERROR_TOO_MANY_LINKS;               // 1142
DWORD TargetRefusal(DWORD attributes, DWORD links) noexcept;

} // namespace ih::security
