// SetFolderPermissions and SetServiceSecurity: the lists they build, read back
// with the platform's own ACL functions, through a platform that records what
// would be set (Wine keeps a file's list only as mode bits); the machine's own
// platform on real files, folders and services; the COM launch permission in
// the real registry, checked byte for byte against descriptors the platform
// builds itself.

#include "accounts/ProductGroups.h"
#include "actions/Exports.h"
#include "frame/Handles.h"
#include "frame/Registry.h"
#include "security/PermissionActions.h"
#include "security/PlatformSid.h"
#include "security/Sid.h"
#include "support/HandleCount.h"
#include "support/InMemoryAccountDatabase.h"
#include "support/LogFile.h"
#include "support/TestFolder.h"
#include "support/TestPackage.h"
#include "support/TestRegistry.h"
#include "support/TestServices.h"

#include <gtest/gtest.h>
#include <sddl.h>
#include <shlobj.h>

#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace ih::test;
using ih::security::PermissionPlatform;
using ih::security::Sid;
using Bytes = std::vector<std::uint8_t>;
using Entries = std::vector<std::wstring>;

// "type SID mask flags" of each entry, decoded by the platform.
Entries DecodedEntries(const ACL* acl) {
    Entries entries;
    for (DWORD index = 0; index < acl->AceCount; ++index) {
        void* entry = nullptr;
        if (!::GetAce(const_cast<PACL>(acl), index, &entry)) return {L"GetAce failed"};
        const auto* header = static_cast<const ACE_HEADER*>(entry);
        const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
        wchar_t* text = nullptr;
        if (!::ConvertSidToStringSidW(const_cast<DWORD*>(&allowed->SidStart), &text)) return {L"bad SID"};
        const ih::UniqueLocalMemory owned(text);
        wchar_t line[160];
        swprintf(line, 160, L"%ls %ls %08lX %u", header->AceType == ACCESS_DENIED_ACE_TYPE ? L"deny" : L"allow", text,
                 static_cast<unsigned long>(allowed->Mask), static_cast<unsigned>(header->AceFlags));
        entries.push_back(line);
    }
    return entries;
}

Entries DecodedEntries(const Bytes& acl) {
    if (acl.size() < sizeof(ACL) || !::IsValidAcl(reinterpret_cast<PACL>(const_cast<std::uint8_t*>(acl.data()))))
        return {L"not a valid ACL"};
    return DecodedEntries(reinterpret_cast<const ACL*>(acl.data()));
}

struct AppliedList {
    std::wstring target;
    SECURITY_INFORMATION information;
    Entries entries;
};

class RecordingPermissions final : public PermissionPlatform {
public:
    HRESULT appDataResult = S_OK;
    bool xpOrLater = true;
    std::map<std::wstring, DWORD> failures; // target to the error it answers
    std::vector<AppliedList> applied;
    int versionTests = 0;

    HRESULT CommonAppDataFolder(std::wstring& folder) override {
        if (SUCCEEDED(appDataResult)) folder = L"C:\\Data";
        return appDataResult;
    }
    bool IsXpOrLater() override {
        ++versionTests;
        return xpOrLater;
    }
    DWORD SetFileDacl(const std::wstring& path, SECURITY_INFORMATION information, const Bytes& acl) override {
        return Record(path, information, acl);
    }
    DWORD SetServiceDacl(const std::wstring& service, SECURITY_INFORMATION information, const Bytes& acl) override {
        return Record(service, information, acl);
    }

private:
    DWORD Record(const std::wstring& target, SECURITY_INFORMATION information, const Bytes& acl) {
        applied.push_back({target, information, DecodedEntries(acl)});
        const auto failure = failures.find(target);
        return failure == failures.end() ? 0 : failure->second;
    }
};

const std::wstring kTree = L"C:\\Data\\Kestro\\Kestro Anti-Virus\\";
const std::wstring kOnAccessSid = L"S-1-5-21-7-8-9-1001";
const std::wstring kProductAdminsSid = L"S-1-5-21-7-8-9-1002";
const std::wstring kXpLine = L"We are running on XP or higher - adding LocalService to permissions on config files";

std::wstring Allow(const std::wstring& sid, const wchar_t* mask, unsigned flags) {
    return L"allow " + sid + L" " + mask + L" " + std::to_wstring(flags);
}

Sid SidOf(const std::wstring& text) { return ih::security::SidFromString(text.c_str()); }

class PermissionActionTest : public testing::Test {
protected:
    TestFolder temp;
    TemporaryFolderRedirect redirect{temp.Path()};
    RecordingPermissions platform;
    InMemoryAccountDatabase accounts;

    void SetUp() override {
        accounts.AddAccount(ih::accounts::kOnAccessGroup, SidOf(kOnAccessSid));
        accounts.AddAccount(ih::accounts::kAdministratorGroup, SidOf(kProductAdminsSid));
    }
    UINT SetFolderPermissions() {
        const HandleCountCheck handles;
        const UINT result = ih::security::SetFolderPermissions(platform, accounts);
        EXPECT_TRUE(handles.Unchanged());
        return result;
    }
    std::map<std::wstring, AppliedList> AppliedByTarget() const {
        std::map<std::wstring, AppliedList> byTarget;
        for (const AppliedList& list : platform.applied) byTarget[list.target] = list;
        return byTarget;
    }
};

struct ExpectedTarget {
    std::wstring target;
    SECURITY_INFORMATION information;
    Entries entries;
};

// The targets in the order they are set, with the lists a machine of the given
// service account and groups gets.
std::vector<ExpectedTarget> ExpectedTree(const std::wstring& service, bool onAccess, bool productAdmins) {
    const std::wstring admins = L"S-1-5-32-544";
    const std::wstring everyone = L"S-1-1-0";
    Entries config = {Allow(admins, L"10000000", 0)};
    if (onAccess) config.push_back(Allow(kOnAccessSid, L"80000000", 0));
    config.push_back(Allow(service, L"80000000", 0));
    const Entries base = {Allow(admins, L"10000000", 3), Allow(service, L"10000000", 3)};
    auto with = [](Entries list, const std::vector<std::wstring>& more) {
        list.insert(list.end(), more.begin(), more.end());
        return list;
    };
    const Entries product = onAccess ? with(base, {Allow(kOnAccessSid, L"10000000", 3)}) : base;
    const Entries logs = productAdmins ? with(product, {Allow(kProductAdminsSid, L"10000000", 3)}) : product;
    const std::wstring configFolder = kTree + L"Config\\";
    return {
        {configFolder + L"bootstrap.xml", 0x80000004, config},
        {configFolder + L"Factory.xml", 0x80000004, config},
        {configFolder + L"storebootstrap.xml", 0x80000004, config},
        {configFolder + L"Machine.xml", 0x80000004, product},
        {configFolder + L"Quarantine.xml", 0x80000004, product},
        {kTree + L"logs", 0x00000004, logs},
        {kTree + L"Infected", 0x80000004, with(base, {Allow(everyone, L"C0000000", 0)})},
        {configFolder + L"QMXIConfigFile.xml", 0x80000004, with(base, {Allow(everyone, L"80000000", 3)})},
        {kTree + L"TEMP", 0x80000004, with(base, {Allow(everyone, L"E0000040", 3)})},
    };
}

void ExpectTree(const std::vector<AppliedList>& applied, const std::vector<ExpectedTarget>& expected) {
    ASSERT_EQ(applied.size(), expected.size());
    for (std::size_t index = 0; index < expected.size(); ++index) {
        SCOPED_TRACE(expected[index].target);
        EXPECT_EQ(applied[index].target, expected[index].target);
        EXPECT_EQ(applied[index].information, expected[index].information);
        EXPECT_EQ(applied[index].entries, expected[index].entries);
    }
}

TEST_F(PermissionActionTest, FolderTreeOnXpCarriesLocalServiceAndBothGroups) {
    EXPECT_EQ(SetFolderPermissions(), 0u);
    ExpectTree(platform.applied, ExpectedTree(L"S-1-5-19", true, true));
    EXPECT_EQ(ActionLogEntries(), (Entries{kXpLine, kXpLine}));
    EXPECT_EQ(platform.versionTests, 2);
}

TEST_F(PermissionActionTest, FolderTreeOnWindows2000CarriesLocalSystem) {
    platform.xpOrLater = false;
    EXPECT_EQ(SetFolderPermissions(), 0u);
    ExpectTree(platform.applied, ExpectedTree(L"S-1-5-18", true, true));
    EXPECT_EQ(ActionLogEntries(), Entries{L"We are running on 2K - adding LocalSystem to permissions on config files"});
}

TEST_F(PermissionActionTest, MissingGroupsAreLeftOutAndLogged) {
    accounts.accounts.erase(ih::accounts::kOnAccessGroup);
    EXPECT_EQ(SetFolderPermissions(), 0u);
    ExpectTree(platform.applied, ExpectedTree(L"S-1-5-19", false, true));
    EXPECT_EQ(ActionLogEntries(),
              (Entries{L"Unable to load the Onaccess account - will not be added to permissions on the log file",
                       kXpLine, kXpLine, L"Unable to add OnAccess group to the permissions of the log file"}));

    ::DeleteFileW((temp / L"Kestro Anti-Virus CustomActions Log.txt").c_str());
    platform.applied.clear();
    accounts.AddAccount(ih::accounts::kOnAccessGroup, SidOf(kOnAccessSid));
    accounts.accounts.erase(ih::accounts::kAdministratorGroup);
    EXPECT_EQ(SetFolderPermissions(), 0u);
    ExpectTree(platform.applied, ExpectedTree(L"S-1-5-19", true, false));
    EXPECT_EQ(ActionLogEntries(), (Entries{kXpLine, kXpLine,
                                           L"Unable to load the KestroAdmin account - will not add Kestro Admins to "
                                           L"the permissions of the config files"}));
}

TEST_F(PermissionActionTest, AFailedTargetIsLoggedAndTheOthersAreStillSet) {
    platform.failures[kTree + L"Config\\Factory.xml"] = ERROR_FILE_NOT_FOUND;
    platform.failures[kTree + L"Config\\QMXIConfigFile.xml"] = ih::security::kRefusedLinkedFile;
    platform.failures[kTree + L"logs"] = ih::security::kRefusedReparsePoint;
    EXPECT_EQ(SetFolderPermissions(), 0u);
    EXPECT_EQ(platform.applied.size(), 9u);
    EXPECT_EQ(ActionLogEntries(),
              (Entries{kXpLine, L"Unable to add set access permissions on the factory file", kXpLine,
                       L"Unable to add set access permissions on the Log directory",
                       kTree + L"logs was left unchanged: it is a reparse point",
                       L"Unable to add set access permissions on the QMXIConfigFile file",
                       kTree + L"Config\\QMXIConfigFile.xml was left unchanged: the file has more than one name"}));
}

TEST_F(PermissionActionTest, UnknownDataFolderEndsTheActionBeforeAnyList) {
    platform.appDataResult = E_FAIL;
    EXPECT_EQ(SetFolderPermissions(), 1603u);
    EXPECT_TRUE(platform.applied.empty());
    EXPECT_EQ(ActionLogEntries(),
              Entries{L"Unable to get Common app data path inside SetFolderPermissions custom action"});
}

TEST(PermissionFailureCode, NeverSuccess) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_EQ(ih::security::LastErrorFailureCode(), 0x80070005u);
    ::SetLastError(0);
    EXPECT_EQ(ih::security::LastErrorFailureCode(), static_cast<UINT>(E_FAIL));
}

// Services.

Entries ServiceEntries(bool productAdmins) {
    Entries entries = {Allow(L"S-1-1-0", L"80000010", 0)};
    if (productAdmins) entries.push_back(Allow(kProductAdminsSid, L"A0000000", 0));
    entries.push_back(Allow(L"S-1-5-32-544", L"E0050000", 0));
    entries.push_back(Allow(L"S-1-5-18", L"E0000000", 0));
    return entries;
}

TEST_F(PermissionActionTest, ServicesGetTheirListInOrder) {
    platform.failures[L"QMXAdminService"] = ERROR_SERVICE_DOES_NOT_EXIST;
    const HandleCountCheck handles;
    EXPECT_EQ(ih::security::SetServiceSecurity(platform, accounts), 0u);
    EXPECT_TRUE(handles.Unchanged());
    ASSERT_EQ(platform.applied.size(), 2u);
    EXPECT_EQ(platform.applied[0].target, L"QMXService");
    EXPECT_EQ(platform.applied[1].target, L"QMXAdminService");
    for (const AppliedList& list : platform.applied) {
        EXPECT_EQ(list.information, static_cast<SECURITY_INFORMATION>(DACL_SECURITY_INFORMATION));
        EXPECT_EQ(list.entries, ServiceEntries(true));
    }
    EXPECT_EQ(ActionLogEntries(), Entries{L"Unable to set the security for QMXAdminService"});

    platform.applied.clear();
    accounts.accounts.erase(ih::accounts::kAdministratorGroup);
    EXPECT_EQ(ih::security::SetServiceSecurity(platform, accounts), 0u);
    ASSERT_EQ(platform.applied.size(), 2u);
    EXPECT_EQ(platform.applied[0].entries, ServiceEntries(false));
}

// The COM server's launch permission, in the real registry.

constexpr wchar_t kOleKey[] = L"SOFTWARE\\Microsoft\\OLE";
constexpr wchar_t kAppIdKey[] = L"APPID\\{EEA3D6A3-3AEE-4BF4-B8EF-8A190CADD9B1}";

struct AceSpec {
    BYTE type;
    std::wstring sid;
    DWORD mask;
};

enum class DaclForm { Present, Null, Absent };

// A self-relative descriptor the platform builds itself: owner BA, group SY,
// the DACL in the given form, and, when asked, a SACL with one audit entry.
Bytes PlatformDescriptor(DaclForm form, const std::vector<AceSpec>& entries, bool withSacl) {
    const Sid owner = SidOf(L"S-1-5-32-544");
    const Sid group = SidOf(L"S-1-5-18");
    std::vector<Sid> sids;
    for (const AceSpec& entry : entries) sids.push_back(SidOf(entry.sid));

    Bytes acl(1024);
    auto* dacl = reinterpret_cast<PACL>(acl.data());
    EXPECT_TRUE(::InitializeAcl(dacl, static_cast<DWORD>(acl.size()), ACL_REVISION));
    for (std::size_t index = 0; index < entries.size(); ++index) {
        PSID sid = ih::security::PlatformSid(sids[index]);
        if (entries[index].type == ACCESS_ALLOWED_ACE_TYPE) {
            EXPECT_TRUE(::AddAccessAllowedAce(dacl, ACL_REVISION, entries[index].mask, sid));
        } else if (entries[index].type == ACCESS_DENIED_ACE_TYPE) {
            EXPECT_TRUE(::AddAccessDeniedAce(dacl, ACL_REVISION, entries[index].mask, sid));
        } else {
            // Another entry type (a callback entry): same body, own type.
            EXPECT_TRUE(::AddAccessAllowedAce(dacl, ACL_REVISION, entries[index].mask, sid));
            void* last = nullptr;
            EXPECT_TRUE(::GetAce(dacl, dacl->AceCount - 1, &last));
            static_cast<ACE_HEADER*>(last)->AceType = entries[index].type;
        }
    }
    ACL_SIZE_INFORMATION size{};
    EXPECT_TRUE(::GetAclInformation(dacl, &size, sizeof size, AclSizeInformation));
    dacl->AclSize = static_cast<WORD>(size.AclBytesInUse);

    Bytes saclBytes(256);
    auto* sacl = reinterpret_cast<PACL>(saclBytes.data());
    EXPECT_TRUE(::InitializeAcl(sacl, static_cast<DWORD>(saclBytes.size()), ACL_REVISION));
    EXPECT_TRUE(::AddAuditAccessAce(sacl, ACL_REVISION, 1, ih::security::PlatformSid(SidOf(L"S-1-1-0")), TRUE, FALSE));

    SECURITY_DESCRIPTOR absolute;
    EXPECT_TRUE(::InitializeSecurityDescriptor(&absolute, SECURITY_DESCRIPTOR_REVISION));
    EXPECT_TRUE(::SetSecurityDescriptorOwner(&absolute, ih::security::PlatformSid(owner), FALSE));
    EXPECT_TRUE(::SetSecurityDescriptorGroup(&absolute, ih::security::PlatformSid(group), FALSE));
    if (form != DaclForm::Absent) {
        EXPECT_TRUE(::SetSecurityDescriptorDacl(&absolute, TRUE, form == DaclForm::Present ? dacl : nullptr, FALSE));
    }
    if (withSacl) {
        EXPECT_TRUE(::SetSecurityDescriptorSacl(&absolute, TRUE, sacl, FALSE));
    }
    DWORD length = 0;
    ::MakeSelfRelativeSD(&absolute, nullptr, &length);
    Bytes relative(length);
    EXPECT_TRUE(::MakeSelfRelativeSD(&absolute, relative.data(), &length));
    return relative;
}

class LaunchPermissionTest : public PermissionActionTest {
protected:
    ScopedRegistryTree ole{HKEY_LOCAL_MACHINE, kOleKey};
    ScopedRegistryTree appId{HKEY_CLASSES_ROOT, kAppIdKey};

    void SetUp() override {
        PermissionActionTest::SetUp();
        // The runtime's first exception in a process keeps handles for good
        // (a per-process cost); it is thrown before handles are counted.
        try {
            throw std::runtime_error("warm-up");
        } catch (const std::exception&) {
        }
        ole.Create();
        appId.Create();
    }
    static void WriteValue(HKEY root, const wchar_t* key, const wchar_t* name, DWORD type, const Bytes& bytes) {
        ih::RegistryKey opened;
        ASSERT_EQ(ih::OpenRegistryKey(opened, root, key, KEY_SET_VALUE), ERROR_SUCCESS);
        ASSERT_EQ(::RegSetValueExW(opened.get(), name, 0, type, bytes.data(), static_cast<DWORD>(bytes.size())),
                  ERROR_SUCCESS);
    }
    void SetDefault(const Bytes& bytes, DWORD type = REG_BINARY) const {
        WriteValue(HKEY_LOCAL_MACHINE, kOleKey, L"DefaultLaunchPermission", type, bytes);
    }
    static Bytes LaunchPermission() {
        DWORD size = 0;
        if (::RegGetValueW(HKEY_CLASSES_ROOT, kAppIdKey, L"LaunchPermission", RRF_RT_REG_BINARY, nullptr, nullptr,
                           &size) != ERROR_SUCCESS)
            return {};
        Bytes bytes(size);
        ::RegGetValueW(HKEY_CLASSES_ROOT, kAppIdKey, L"LaunchPermission", RRF_RT_REG_BINARY, nullptr, bytes.data(),
                       &size);
        return bytes;
    }
    UINT Run(const char* situation = "") {
        SCOPED_TRACE(situation);
        const HandleCountCheck handles;
        const UINT result = ih::security::SetServiceSecurity(platform, accounts);
        EXPECT_TRUE(handles.Unchanged());
        return result;
    }
};

TEST_F(LaunchPermissionTest, ProductAdministratorsJoinTheDefaultLaunchPermission) {
    const AceSpec productAdmins = {ACCESS_ALLOWED_ACE_TYPE, kProductAdminsSid, 1};
    const AceSpec admins = {ACCESS_ALLOWED_ACE_TYPE, L"S-1-5-32-544", 1};
    const AceSpec system = {ACCESS_ALLOWED_ACE_TYPE, L"S-1-5-18", 1};
    const AceSpec interactive = {ACCESS_ALLOWED_ACE_TYPE, L"S-1-5-4", 1};
    const AceSpec deniedGuests = {ACCESS_DENIED_ACE_TYPE, L"S-1-5-32-546", 1};
    const AceSpec callback = {ACCESS_ALLOWED_CALLBACK_ACE_TYPE, L"S-1-5-11", 1};
    struct Case {
        const char* name;
        Bytes defaultPermission;
        Bytes expected;
    } cases[] = {
        {"three entries", PlatformDescriptor(DaclForm::Present, {admins, system, interactive}, false),
         PlatformDescriptor(DaclForm::Present, {admins, system, interactive, productAdmins}, false)},
        {"null DACL", PlatformDescriptor(DaclForm::Null, {}, false),
         PlatformDescriptor(DaclForm::Present, {productAdmins}, false)},
        {"no DACL", PlatformDescriptor(DaclForm::Absent, {}, false),
         PlatformDescriptor(DaclForm::Present, {productAdmins}, false)},
        {"other entry types dropped, denied first, SACL kept",
         PlatformDescriptor(DaclForm::Present, {admins, callback, deniedGuests}, true),
         PlatformDescriptor(DaclForm::Present, {deniedGuests, admins, productAdmins}, true)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetDefault(c.defaultPermission);
        WriteValue(HKEY_CLASSES_ROOT, kAppIdKey, L"LaunchPermission", REG_BINARY, Bytes(40, 0xEE));
        EXPECT_EQ(Run(), 0u);
        EXPECT_EQ(LaunchPermission(), c.expected);
    }
}

TEST_F(LaunchPermissionTest, NothingIsWrittenWithoutEverythingItNeeds) {
    const Bytes valid = PlatformDescriptor(DaclForm::Present, {{ACCESS_ALLOWED_ACE_TYPE, L"S-1-5-18", 1}}, false);
    Bytes truncated = valid;
    truncated.resize(valid.size() - 4); // the group reaches past the value

    SetDefault(valid, REG_SZ);
    EXPECT_EQ(Run("not binary"), 0u);
    EXPECT_TRUE(LaunchPermission().empty()) << "a value that is not binary";

    SetDefault(truncated);
    EXPECT_EQ(Run("truncated"), 0u);
    EXPECT_TRUE(LaunchPermission().empty()) << "a descriptor longer than its value";
    EXPECT_EQ(ActionLogEntries(), Entries{L"The default launch permission is not a valid security descriptor - the "
                                          L"launch permission of the Kestro COM server is left unchanged"});

    SetDefault(valid);
    accounts.accounts.erase(ih::accounts::kAdministratorGroup);
    EXPECT_EQ(Run("no group"), 0u);
    EXPECT_TRUE(LaunchPermission().empty()) << "no product administrators group";

    accounts.AddAccount(ih::accounts::kAdministratorGroup, SidOf(kProductAdminsSid));
    ::RegDeleteKeyW(HKEY_CLASSES_ROOT, kAppIdKey);
    EXPECT_EQ(Run("no key"), 0u);
    EXPECT_FALSE(appId.Exists()) << "a missing application key is not created";

    appId.Create();
    EXPECT_EQ(Run("complete"), 0u);
    EXPECT_FALSE(LaunchPermission().empty()) << "with everything in place it is written";
}

// The machine's own platform.

TEST(SystemPermissions, RefusesReparsePointsAndFilesWithMoreThanOneName) {
    struct Case {
        DWORD attributes, links, refusal;
    } cases[] = {
        {FILE_ATTRIBUTE_NORMAL, 1, 0},
        {FILE_ATTRIBUTE_DIRECTORY, 3, 0},
        {FILE_ATTRIBUTE_ARCHIVE, 2, ih::security::kRefusedLinkedFile},
        {FILE_ATTRIBUTE_REPARSE_POINT, 1, ih::security::kRefusedReparsePoint},
        {FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT, 1, ih::security::kRefusedReparsePoint},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ih::security::TargetRefusal(c.attributes, c.links), c.refusal) << c.attributes << " " << c.links;
    }
}

TEST(SystemPermissions, SetsListsOnFilesFoldersAndServices) {
    TestFolder folder;
    folder.WriteFile(L"plain.xml", "x");
    folder.WriteFile(L"linked.xml", "x");
    ASSERT_TRUE(::CreateHardLinkW((folder / L"second name.xml").c_str(), (folder / L"linked.xml").c_str(), nullptr));
    ScopedService service{L"QMXService"};
    service.CreateUserMode();

    Bytes acl(64);
    ASSERT_TRUE(::InitializeAcl(reinterpret_cast<PACL>(acl.data()), static_cast<DWORD>(acl.size()), ACL_REVISION));
    PermissionPlatform& machine = ih::security::SystemPermissions();
    const HandleCountCheck handles;
    EXPECT_EQ(machine.SetFileDacl(folder / L"plain.xml", 0x80000004, acl), 0u);
    EXPECT_EQ(machine.SetFileDacl(folder.Path(), 0x80000004, acl), 0u);
    EXPECT_EQ(machine.SetFileDacl(folder / L"linked.xml", 0x80000004, acl), ih::security::kRefusedLinkedFile);
    EXPECT_EQ(machine.SetFileDacl(folder / L"missing.xml", 0x80000004, acl), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(machine.SetServiceDacl(L"QMXService", DACL_SECURITY_INFORMATION, acl), 0u);
    EXPECT_EQ(machine.SetServiceDacl(L"QMXAdminService", DACL_SECURITY_INFORMATION, acl),
              static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
    EXPECT_TRUE(handles.Unchanged());

    std::wstring appData;
    ASSERT_EQ(machine.CommonAppDataFolder(appData), S_OK);
    wchar_t expected[MAX_PATH] = {};
    ASSERT_EQ(::SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, expected), S_OK);
    EXPECT_EQ(appData, expected);
}

// The exported action on this machine: Wine knows no product groups, so both
// look-ups fail and are logged; the tree is set except a hard-linked file.
TEST(SetFolderPermissionsExport, SetsTheRealTreeAndRefusesALinkedFile) {
    wchar_t appData[MAX_PATH] = {};
    ASSERT_EQ(::SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData), S_OK);
    const std::wstring tree = std::wstring(appData) + L"\\Kestro\\Kestro Anti-Virus\\";
    TestFolder temp;
    const TemporaryFolderRedirect redirect{temp.Path()};
    for (const wchar_t* folder : {L"", L"Config", L"logs", L"Infected", L"TEMP"})
        ::SHCreateDirectoryExW(nullptr, (tree + folder).c_str(), nullptr);
    for (const wchar_t* file : {L"bootstrap.xml", L"Factory.xml", L"Machine.xml", L"Quarantine.xml",
                                L"storebootstrap.xml", L"QMXIConfigFile.xml"}) {
        const ih::UniqueFileHandle created(
            ::CreateFileW((tree + L"Config\\" + file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        ASSERT_TRUE(created);
    }
    const std::wstring elsewhere = temp / L"planted.xml";
    temp.WriteFile(L"planted.xml", "x");
    ::DeleteFileW((tree + L"Config\\Factory.xml").c_str());
    ASSERT_TRUE(::CreateHardLinkW((tree + L"Config\\Factory.xml").c_str(), elsewhere.c_str(), nullptr));

    const TestPackage package;
    const HandleCountCheck handles;
    EXPECT_EQ(SetFolderPermissions(package.Handle()), 0u);
    EXPECT_TRUE(handles.Unchanged());
    EXPECT_EQ(ActionLogEntries(),
              (Entries{L"Unable to load the Onaccess account - will not be added to permissions on the log file",
                       kXpLine, L"Unable to add set access permissions on the factory file",
                       tree + L"Config\\Factory.xml was left unchanged: the file has more than one name", kXpLine,
                       L"Unable to add OnAccess group to the permissions of the log file",
                       L"Unable to load the KestroAdmin account - will not add Kestro Admins to the permissions of "
                       L"the config files"}));

    ::DeleteFileW((temp / L"Kestro Anti-Virus CustomActions Log.txt").c_str());
    EXPECT_EQ(SetServiceSecurity(package.Handle()), 0u);
    EXPECT_TRUE(handles.Unchanged());
    EXPECT_EQ(ActionLogEntries(), (Entries{L"Unable to set the security for QMXService",
                                           L"Unable to set the security for QMXAdminService"}));
    RemoveTree(std::wstring(appData) + L"\\Kestro");
}

} // namespace
