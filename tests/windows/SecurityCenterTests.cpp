// Security Center registration through the exported actions, against the WMI
// locator fixture registered in the prefix in place of the system's (Wine has
// no "root\SecurityCenter"), and once against Wine's own locator.

#include "actions/Exports.h"
#include "NotifyTestSupport.h"
#include "support/HandleCount.h"
#include "support/LogFile.h"
#include "support/TestPackage.h"

#include <gtest/gtest.h>

#include <objbase.h>
#include <shlwapi.h>

namespace {

using namespace ih::test;

constexpr wchar_t kMonitoringKey[] = L"SOFTWARE\\Microsoft\\Security Center\\Monitoring\\KestroAntiVirus";
const std::wstring kGetInstance = std::wstring(L"GetObject ") + kInstancePath + L" 0";
const std::wstring kDeleteInstance = std::wstring(L"DeleteInstance ") + kInstancePath + L" 0";

const std::vector<std::wstring> kRegistration = {
    kConnectLine,
    kGetInstance,
    L"GetObject AntiVirusProduct 0",
    L"SpawnInstance 0",
    L"Put instanceGuid 0 BSTR {3F13C776-3CBE-4DE9-8BF6-09E5183CA2BD} 0",
    L"Put displayName 0 BSTR Kestro Anti-Virus 0",
    L"Put onAccessScanningEnabled 0 BOOL false 0",
    L"Put productUptoDate 0 BOOL true 0",
    L"PutInstance 0",
    kUnloadedLine,
};

class SecurityCenterTest : public testing::Test {
protected:
    TestFolder temp;
    TemporaryFolderRedirect redirect{temp.Path()};
    const NotifyFixtures fixtures{temp};
    const ScopedRegistryTree monitoring{HKEY_LOCAL_MACHINE, kMonitoringKey};
    const TestPackage package;

    void SetUp() override { WarmUpCom(); }
    void Run(UINT(__stdcall* action)(MSIHANDLE)) const {
        const HandleCountCheck handles;
        EXPECT_EQ(action(package.Handle()), 0u);
        EXPECT_TRUE(handles.Unchanged());
    }
};

TEST_F(SecurityCenterTest, InstallRegistersTheProductOnceWithTheExactCalls) {
    Run(InstallSecurityCenter);
    EXPECT_EQ(fixtures.Calls(), kRegistration);
    EXPECT_EQ(ActionLogBytes(), "");
    EXPECT_EQ(ReadNumber(HKEY_CURRENT_USER, kInstanceKey, L"onAccessScanningEnabled"), 0);
    EXPECT_EQ(ReadNumber(HKEY_CURRENT_USER, kInstanceKey, L"productUptoDate"), 1);
    EXPECT_FALSE(ComInitialisedOnThisThread()) << "COM is uninitialised within the call";

    // Registered already: found, and its flags are left as they are.
    fixtures.StoreInstance(true, false);
    fixtures.ClearCalls();
    Run(InstallSecurityCenter);
    EXPECT_EQ(fixtures.Calls(), (std::vector<std::wstring>{kConnectLine, kGetInstance, kUnloadedLine}));
    EXPECT_EQ(ReadNumber(HKEY_CURRENT_USER, kInstanceKey, L"onAccessScanningEnabled"), 1);
    EXPECT_EQ(ReadNumber(HKEY_CURRENT_USER, kInstanceKey, L"productUptoDate"), 0);
    EXPECT_EQ(ActionLogBytes(), "");
}

TEST_F(SecurityCenterTest, InstallLogsTheFirstFailureAndStops) {
    struct Case {
        const wchar_t* call;
        HRESULT result;
        std::size_t callsMade; // of the registration's calls
        const wchar_t* line;   // nullptr: nothing logged
    } const cases[] = {
        {L"ConnectServer", static_cast<HRESULT>(0x8004100E), 1,
         L"Error returned from CWindowsSecurityCenter::Install() was: -2147217394"},
        {L"GetObject AntiVirusProduct", static_cast<HRESULT>(0x80041002), 3,
         L"Error returned from CWindowsSecurityCenter::Install() was: -2147217406"},
        {L"SpawnInstance", E_OUTOFMEMORY, 4, L"Error returned from CWindowsSecurityCenter::Install() was: -2147024882"},
        {L"PutInstance", E_ACCESSDENIED, 9, L"Error returned from CWindowsSecurityCenter::Install() was: -2147024891"},
        {L"Put displayName", E_FAIL, 9, nullptr}, // Put's results are not examined
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.call, c.call + wcslen(c.call)));
        fixtures.ClearCalls();
        ::DeleteFileW((temp / L"Kestro Anti-Virus CustomActions Log.txt").c_str());
        fixtures.FailWmi(c.call, c.result);
        Run(InstallSecurityCenter);
        std::vector<std::wstring> expected(kRegistration.begin(), kRegistration.begin() + c.callsMade);
        expected.push_back(kUnloadedLine);
        EXPECT_EQ(fixtures.Calls(), expected);
        EXPECT_EQ(ActionLogEntries(), c.line ? std::vector<std::wstring>{c.line} : std::vector<std::wstring>{});
        EXPECT_FALSE(ComInitialisedOnThisThread());
    }
}

TEST_F(SecurityCenterTest, UninstallRemovesTheInstanceAndTheMonitoringFlag) {
    struct Case {
        const char* what;
        bool registered;
        const wchar_t* fail;
        std::vector<std::wstring> log;
    } const cases[] = {
        {"registered", true, nullptr, {}},
        {"never registered: not found is success", false, nullptr, {}},
        {"deletion refused",
         true,
         L"DeleteInstance",
         {L"Error returned from CWindowsSecurityCenter::Uninstall() was: -2147024891"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fixtures.ClearCalls();
        ::DeleteFileW((temp / L"Kestro Anti-Virus CustomActions Log.txt").c_str());
        if (c.registered) fixtures.StoreInstance(false, true);
        fixtures.FailWmi(c.fail ? c.fail : L"", E_ACCESSDENIED);
        SetNumber(HKEY_LOCAL_MACHINE, kMonitoringKey, L"Disablemonitoring", 1);
        SetNumber(HKEY_LOCAL_MACHINE, kMonitoringKey, L"Other", 1);
        Run(UninstallSecurityCenter);
        EXPECT_EQ(fixtures.Calls(), (std::vector<std::wstring>{kConnectLine, kDeleteInstance, kUnloadedLine}));
        EXPECT_EQ(fixtures.InstanceStored(), c.fail != nullptr);
        EXPECT_EQ(ActionLogEntries(), c.log);
        EXPECT_EQ(ReadNumber(HKEY_LOCAL_MACHINE, kMonitoringKey, L"Disablemonitoring"), -1);
        EXPECT_EQ(ReadNumber(HKEY_LOCAL_MACHINE, kMonitoringKey, L"Other"), 1);
    }
    // Without the monitoring key nothing else changes.
    ::SHDeleteKeyW(HKEY_LOCAL_MACHINE, kMonitoringKey);
    fixtures.FailWmi(L"", S_OK);
    Run(UninstallSecurityCenter);
    EXPECT_FALSE(monitoring.Exists());
}

TEST_F(SecurityCenterTest, TheHostThreadsApartmentIsKept) {
    struct Case {
        const char* what;
        DWORD model;
    } const cases[] = {{"single-threaded host", COINIT_APARTMENTTHREADED},
                       {"multi-threaded host", COINIT_MULTITHREADED}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(::CoInitializeEx(nullptr, c.model), S_OK);
        EXPECT_EQ(InstallSecurityCenter(package.Handle()), 0u);
        EXPECT_EQ(::CoInitializeEx(nullptr, c.model), S_FALSE) << "still initialised as the host left it";
        ::CoUninitialize();
        ::CoUninitialize();
        EXPECT_FALSE(ComInitialisedOnThisThread());
    }
    EXPECT_EQ(ActionLogBytes(), "");
    EXPECT_TRUE(fixtures.InstanceStored());
}

// Wine's own locator has no Security Center namespace: the registration is
// logged as failed and the installation goes on.
TEST(SecurityCenterOnWine, InstallLogsTheMissingNamespace) {
    TestFolder temp;
    TemporaryFolderRedirect redirect{temp.Path()};
    const TestPackage package;
    EXPECT_EQ(InstallSecurityCenter(package.Handle()), 0u);
    EXPECT_EQ(ActionLogEntries(),
              std::vector<std::wstring>{L"Error returned from CWindowsSecurityCenter::Install() was: -2147217394"});
}

} // namespace

namespace {

// The prefix reports another Windows version to the probe program: Security
// Center is connected on XP SP3 and Windows 7, and not on 2000 or Server 2003.
TEST_F(SecurityCenterTest, OnlySystemsWithSecurityCenterAreConnected) {
    const std::wstring appDefaults = L"Software\\Wine\\AppDefaults\\security_center_probe.exe";
    const ScopedRegistryTree probeVersion{HKEY_CURRENT_USER, appDefaults};
    struct Case {
        const wchar_t* version;
        bool connected;
    } const cases[] = {{L"win2k", false}, {L"winxp", true}, {L"win2003", false}, {L"win7", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.version, c.version + wcslen(c.version)));
        fixtures.ClearCalls();
        ::SHDeleteKeyW(HKEY_CURRENT_USER, kInstanceKey);
        SetText(HKEY_CURRENT_USER, appDefaults, L"Version", c.version);
        const ChildProcess probe(Quoted(FixturePath(L"security_center_probe.exe")));
        EXPECT_EQ(probe.Wait(), 0u);
        EXPECT_EQ(fixtures.Calls(), c.connected ? kRegistration : std::vector<std::wstring>{});
        EXPECT_EQ(fixtures.InstanceStored(), c.connected);
    }
}

} // namespace
