// The update-state notices through their exported entry points: the registry
// value, and the calls the component manager fixture (an in-process COM server
// registered in the prefix under the product's class) receives.

#include "actions/Exports.h"
#include "NotifyTestSupport.h"
#include "support/HandleCount.h"
#include "support/LogFile.h"
#include "support/TestPackage.h"

#include <gtest/gtest.h>

#include <shlwapi.h>

#include <algorithm>
#include <cwchar>

namespace {

using namespace ih::test;
using Action = UINT(__stdcall*)(MSIHANDLE);

constexpr wchar_t kStatusKey[] = L"Software\\Kestro\\QMXService\\UpdateStatus";
constexpr wchar_t kBlanketLine[] = L"SetBlanket update-state 0xFFFFFFFF 0xFFFFFFFF (null) 3 3 (null) 0";
constexpr wchar_t kLookUpLine[] = L"LookUpComponent SystemInformation 17";
constexpr wchar_t kBlanketFailed[] =
    L"Error returned from CoSetProxyBlanket - will be unable to impersonate inside the service";

struct Notice {
    const char* name;
    Action action;
    const wchar_t* stateCall; // the fixture's record of the state call
    long long valueAfter;     // "UpdateState" after the call, starting from 7
    const wchar_t* create;
    const wchar_t* lookUp;
    const wchar_t* noInterface;
    const wchar_t* callFailed;
};

constexpr wchar_t kCreateEnd[] =
    L"Unable to create an instance of ComponentManager - SystemInformation cannot be informed of end of update";
constexpr wchar_t kLookUpEnd[] =
    L"Unable to get SystemInformation from ComponentManager - SystemInformation cannot be informed of end of update";
constexpr wchar_t kInterfaceEnd[] =
    L"Unable to get IUpdateState interface - SystemInformation cannot be informed of end of update";

const Notice kNotices[] = {
    {"SetUpdateBegin", SetUpdateBegin, L"SetUpdateState 1", 1,
     L"Unable to create an instance of ComponentManager - SystemInformation will not be informed of the update",
     L"Unable to get SystemInformation from ComponentManager - SystemInformation will not be informed of the update",
     L"Unable to get IUpdateState interface - SystemInformation will not be informed of the update",
     L"Error returned from IUpdateState::SetUpdateState(UPDATE_IN_PROGRESS)"},
    {"SetUpdateFinished", SetUpdateFinished, L"SetUpdateState 0", 7, kCreateEnd, kLookUpEnd, kInterfaceEnd,
     L"Error returned from IUpdateState::SetUpdateState(UPDATE_NOT_IN_PROGRESS)"},
    {"SetUpdateFailed", SetUpdateFailed, L"SetUpdateState 2", 0, kCreateEnd, kLookUpEnd, kInterfaceEnd,
     L"Error returned from IUpdateState::SetUpdateState(UPDATE_FAILED)"},
    {"SetInstallationComplete", SetInstallationComplete, L"InitialInstallationComplete", 7, kCreateEnd, kLookUpEnd,
     kInterfaceEnd, L"Error returned from IUpdateState::InitialInstallationComplete()"},
};

std::vector<std::wstring> Without(std::vector<std::wstring> lines, const std::wstring& unwanted) {
    lines.erase(std::remove(lines.begin(), lines.end(), unwanted), lines.end());
    return lines;
}

class UpdateNoticesTest : public testing::Test {
protected:
    TestFolder temp;
    TemporaryFolderRedirect redirect{temp.Path()};
    const ScopedRegistryTree service{HKEY_LOCAL_MACHINE, L"Software\\Kestro\\QMXService"};
    const NotifyFixtures fixtures{temp};
    const TestPackage package;

    void SetUp() override {
        WarmUpCom();
        service.Create(L"UpdateStatus");
        SetNumber(HKEY_LOCAL_MACHINE, kStatusKey, L"UpdateState", 7);
        // SetUpdateFailed reports to Security Center; the product is registered there.
        fixtures.StoreInstance(true, true);
    }
    // Runs the action, which must return 0, release every handle and leave COM
    // on this thread as it found it.
    void Run(Action action) const {
        const HandleCountCheck handles;
        EXPECT_EQ(action(package.Handle()), 0u);
        EXPECT_TRUE(handles.Unchanged());
        EXPECT_FALSE(ComInitialisedOnThisThread()) << "COM is uninitialised within the call";
    }
    // As Run, for a class that is not registered: Wine's own CoCreateInstance
    // keeps two handles per failed local-server activation (measured with the
    // bare call), so the action may keep what that call keeps and no more.
    void RunUnregistered(Action action) const {
        PlatformCostOfUnregisteredCreation(); // its first time keeps more, for good
        const std::size_t platform = PlatformCostOfUnregisteredCreation();
        const std::size_t before = ProcessHandleCount();
        EXPECT_EQ(action(package.Handle()), 0u);
        EXPECT_EQ(ProcessHandleCount() - before, platform);
        EXPECT_FALSE(ComInitialisedOnThisThread()) << "COM is uninitialised within the call";
    }
    static std::size_t PlatformCostOfUnregisteredCreation() {
        const CLSID manager = {0xD2B7A809, 0x15DC, 0x40B4, {0xA1, 0xE1, 0xC6, 0x1E, 0xA9, 0x71, 0x91, 0xDB}};
        const std::size_t before = ProcessHandleCount();
        ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        IUnknown* object = nullptr;
        EXPECT_EQ(::CoCreateInstance(manager, nullptr, 0x17, IID_IUnknown, reinterpret_cast<void**>(&object)),
                  REGDB_E_CLASSNOTREG);
        ::CoUninitialize();
        return ProcessHandleCount() - before;
    }
};

TEST_F(UpdateNoticesTest, EachNoticeReachesTheComponentAndBalancesCom) {
    for (const Notice& notice : kNotices) {
        SCOPED_TRACE(notice.name);
        SetNumber(HKEY_LOCAL_MACHINE, kStatusKey, L"UpdateState", 7);
        fixtures.ClearCalls();
        ::DeleteFileW((temp / L"Kestro Anti-Virus CustomActions Log.txt").c_str());
        Run(notice.action);
        // Security Center's calls come first for a failed update; each server
        // is unloaded once the action uninitialises COM.
        std::vector<std::wstring> expected;
        if (notice.action == SetUpdateFailed)
            expected = {kConnectLine, std::wstring(L"GetObject ") + kInstancePath + L" 0",
                        L"Put onAccessScanningEnabled 0 BOOL false 0", L"PutInstance 1"};
        expected.insert(expected.end(), {kLookUpLine, kBlanketLine, notice.stateCall});
        const std::vector<std::wstring> calls = fixtures.Calls();
        EXPECT_EQ(Without(calls, kUnloadedLine), expected);
        EXPECT_EQ(std::count(calls.begin(), calls.end(), kUnloadedLine), notice.action == SetUpdateFailed ? 2 : 1);
        EXPECT_EQ(ReadNumber(HKEY_LOCAL_MACHINE, kStatusKey, L"UpdateState"), notice.valueAfter);
        EXPECT_EQ(ActionLogEntries(), std::vector<std::wstring>{});
    }
    EXPECT_EQ(ReadNumber(HKEY_CURRENT_USER, kInstanceKey, L"onAccessScanningEnabled"), 0);
}

TEST_F(UpdateNoticesTest, FailuresAreLoggedAndTheActionsStillSucceed) {
    struct Case {
        const wchar_t* behaviour; // nullptr: the class is not registered (last: it stays so)
        std::vector<std::wstring> (*lines)(const Notice&);
        bool stateCalled;
        bool blanketSet;
    } const cases[] = {
        {L"look-up-fails", [](const Notice& n) { return std::vector<std::wstring>{n.lookUp}; }, false, false},
        {L"no-update-state", [](const Notice& n) { return std::vector<std::wstring>{n.noInterface}; }, false, false},
        {L"no-blanket", [](const Notice&) { return std::vector<std::wstring>{kBlanketFailed}; }, true, false},
        {L"state-call-fails", [](const Notice& n) { return std::vector<std::wstring>{n.callFailed}; }, true, true},
        {nullptr, [](const Notice& n) { return std::vector<std::wstring>{n.create}; }, false, false},
    };
    for (const Case& c : cases) {
        for (const Notice& notice : kNotices) {
            SCOPED_TRACE(std::string(notice.name) + " with " +
                         (c.behaviour ? std::string(c.behaviour, c.behaviour + wcslen(c.behaviour)) : "no class"));
            SetNumber(HKEY_LOCAL_MACHINE, kStatusKey, L"UpdateState", 7);
            fixtures.ClearCalls();
            ::DeleteFileW((temp / L"Kestro Anti-Virus CustomActions Log.txt").c_str());
            if (c.behaviour) {
                fixtures.Behave(c.behaviour);
                Run(notice.action);
            } else {
                RemoveClassRegistration(kComponentManagerClsid);
                RunUnregistered(notice.action);
            }
            EXPECT_EQ(ActionLogEntries(), c.lines(notice));
            const std::vector<std::wstring> calls = fixtures.Calls();
            auto has = [&](const std::wstring& line) {
                return std::find(calls.begin(), calls.end(), line) != calls.end();
            };
            EXPECT_EQ(has(notice.stateCall), c.stateCalled);
            EXPECT_EQ(has(kBlanketLine), c.blanketSet);
            EXPECT_EQ(has(kLookUpLine), c.behaviour != nullptr);
            EXPECT_EQ(ReadNumber(HKEY_LOCAL_MACHINE, kStatusKey, L"UpdateState"), notice.valueAfter);
            if (!c.behaviour && notice.action != SetUpdateFailed) {
                EXPECT_TRUE(calls.empty());
            }
        }
    }
}

TEST_F(UpdateNoticesTest, SecurityCenterFailureOfAFailedUpdateIsLoggedAndTheNoticeGoesOn) {
    ::SHDeleteKeyW(HKEY_CURRENT_USER, kInstanceKey); // never registered
    Run(SetUpdateFailed);
    EXPECT_EQ(ActionLogEntries(),
              std::vector<std::wstring>{
                  L"Error returned from CWindowsSecurityCenter::SetOnAccessEnabled() was: -2147217406"});
    const std::vector<std::wstring> calls = fixtures.Calls();
    EXPECT_NE(std::find(calls.begin(), calls.end(), L"SetUpdateState 2"), calls.end());
    EXPECT_EQ(std::find(calls.begin(), calls.end(), L"PutInstance 1"), calls.end());
    EXPECT_FALSE(fixtures.InstanceStored()) << "never created";
}

TEST_F(UpdateNoticesTest, TheRegistryValueIsWrittenOnlyWhereItsKeysAre) {
    struct Case {
        const char* what;
        Action action;
        bool serviceKey, statusKey;
        long long valueAfter; // -1: no value (and no subkey made)
    } const cases[] = {
        {"begin without the subkey", SetUpdateBegin, true, false, -1},
        {"failed without the subkey", SetUpdateFailed, true, false, -1},
        {"admin complete without the subkey", SetQMXAdminUpdateComplete, true, false, -1},
        {"admin begin creates the subkey", SetQMXAdminUpdateBegin, true, false, 1},
        {"admin begin without the service key", SetQMXAdminUpdateBegin, false, false, -1},
        {"admin begin with the subkey", SetQMXAdminUpdateBegin, true, true, 1},
        {"admin complete with the subkey", SetQMXAdminUpdateComplete, true, true, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ::SHDeleteKeyW(HKEY_LOCAL_MACHINE, service.Path().c_str());
        if (c.serviceKey) service.Create();
        if (c.statusKey) service.Create(L"UpdateStatus");
        fixtures.ClearCalls();
        Run(c.action);
        EXPECT_EQ(ReadNumber(HKEY_LOCAL_MACHINE, kStatusKey, L"UpdateState"), c.valueAfter);
        EXPECT_EQ(service.Exists(), c.serviceKey) << "the service key is never created";
        EXPECT_EQ(service.Exists(L"UpdateStatus"), c.valueAfter != -1);
    }
    // The administrative pair neither logs nor calls the component manager.
    fixtures.ClearCalls();
    ::DeleteFileW((temp / L"Kestro Anti-Virus CustomActions Log.txt").c_str());
    Run(SetQMXAdminUpdateBegin);
    Run(SetQMXAdminUpdateComplete);
    EXPECT_TRUE(fixtures.Calls().empty());
    EXPECT_EQ(ActionLogBytes(), "");
}

} // namespace
