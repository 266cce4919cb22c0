// StartDriverServices, SetServiceXP, RollbackDeleteService and
// DeleteDriverKeys through their exported entry points, against real services
// (driver services, which cannot start under Wine, and the user-mode
// test_service fixture) and the real registry.

#include "actions/Exports.h"
#include "support/Fixtures.h"
#include "support/HandleCount.h"
#include "support/LogFile.h"
#include "support/TestFolder.h"
#include "support/TestPackage.h"
#include "support/TestRegistry.h"
#include "support/TestServices.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using namespace ih::test;

class ServiceActionTest : public testing::Test {
protected:
    TestFolder temp;
    TemporaryFolderRedirect redirect{temp.Path()};

    UINT Run(UINT(__stdcall* action)(MSIHANDLE)) const {
        ::DeleteFileW((temp / L"Kestro Anti-Virus CustomActions Log.txt").c_str());
        const TestPackage package;
        const HandleCountCheck handles;
        const UINT result = action(package.Handle());
        EXPECT_TRUE(handles.Unchanged());
        return result;
    }
    std::wstring RecordOption(const wchar_t* name) const { return L"--record " + Quoted(temp / name); }
    std::vector<std::wstring> Record(const wchar_t* name) const { return ReadLines(temp / name); }
};

const std::wstring kControlFailed =
    L"An error occurred starting the OnAccess Control service - service will not be started until next reboot";
const std::wstring kFilterFailed =
    L"An error occurred starting the OnAccess Filter service - service will not be started until next reboot";

class StartDriverServicesTest : public ServiceActionTest {
protected:
    ScopedService filter{L"QMXOnAccess Filter"};
    ScopedService control{L"QMXOnAccess Control"};
};

TEST_F(StartDriverServicesTest, DriversThatCannotStartAreLeftForTheNextRestart) {
    filter.CreateDriver(L"C:\\windows\\system32\\Drivers\\\\qmxonaccessfilter.sys");
    control.CreateDriver(L"C:\\windows\\system32\\Drivers\\\\qmxonaccesscontrol.sys");
    EXPECT_EQ(Run(StartDriverServices), 0u);
    EXPECT_EQ(ActionLogEntries(), (std::vector<std::wstring>{kControlFailed, kFilterFailed}));
}

TEST_F(StartDriverServicesTest, AFailedControlServiceStillLetsTheFilterStart) {
    control.CreateDriver(L"C:\\windows\\system32\\Drivers\\\\qmxonaccesscontrol.sys");
    filter.CreateUserMode(RecordOption(L"filter.txt"));
    EXPECT_EQ(Run(StartDriverServices), 0u);
    EXPECT_EQ(ActionLogEntries(), std::vector<std::wstring>{kControlFailed});
    for (int i = 0; i < 100 && filter.State() != SERVICE_RUNNING; ++i) ::Sleep(100);
    EXPECT_EQ(filter.State(), static_cast<DWORD>(SERVICE_RUNNING));
}

TEST_F(StartDriverServicesTest, ARunningControlServiceMeansNothingIsStarted) {
    control.CreateUserMode();
    control.Start();
    filter.CreateUserMode();
    EXPECT_EQ(Run(StartDriverServices), 0u);
    EXPECT_EQ(ActionLogBytes(), "");
    ::Sleep(300);
    EXPECT_EQ(filter.State(), static_cast<DWORD>(SERVICE_STOPPED));
}

TEST_F(StartDriverServicesTest, BothStartWithoutWaitingAndMissingServicesAreLogged) {
    control.CreateUserMode();
    filter.CreateUserMode();
    EXPECT_EQ(Run(StartDriverServices), 0u);
    EXPECT_EQ(ActionLogBytes(), "");
    for (int i = 0; i < 100 && filter.State() != SERVICE_RUNNING; ++i) ::Sleep(100);
    EXPECT_EQ(control.State(), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(filter.State(), static_cast<DWORD>(SERVICE_RUNNING));

    control.Remove();
    filter.Remove();
    EXPECT_EQ(Run(StartDriverServices), 0u);
    EXPECT_EQ(ActionLogEntries(), (std::vector<std::wstring>{kControlFailed, kFilterFailed}));
}

class SetServiceXpTest : public ServiceActionTest {
protected:
    ScopedService main{L"QMXService"};
};

TEST_F(SetServiceXpTest, TheMainServiceRunsAsTheLocalServiceAccount) {
    main.CreateUserMode();
    const ServiceConfiguration before = main.Configuration();
    EXPECT_EQ(Run(SetServiceXP), 0u);
    const ServiceConfiguration after = main.Configuration();
    EXPECT_EQ(after.account, L"NT AUTHORITY\\LocalService");
    EXPECT_EQ(after.binaryPath, before.binaryPath);
    EXPECT_EQ(after.startType, before.startType);
    EXPECT_EQ(after.type, before.type);
    EXPECT_EQ(after.displayName, before.displayName);
    EXPECT_EQ(ActionLogBytes(), "");
}

TEST_F(SetServiceXpTest, AMissingMainServiceIsFatalWithThePlatformsError) {
    EXPECT_EQ(Run(SetServiceXP), 1603u);
    EXPECT_EQ(
        ActionLogEntries(),
        std::vector<std::wstring>{L"Unable to get a handle to the Kestro Anti-Virus Service, error returned: 1060"});
}

class RollbackDeleteServiceTest : public ServiceActionTest {
protected:
    ScopedService product{L"Kestro Anti-Virus"};
    ScopedService main{L"QMXService"};
};

TEST_F(RollbackDeleteServiceTest, StopsARunningServiceAndDeletesIt) {
    product.CreateUserMode(RecordOption(L"product.txt"));
    product.Start();
    main.CreateUserMode();
    EXPECT_EQ(Run(RollbackDeleteService), 0u);
    EXPECT_EQ(ActionLogBytes(), "");
    EXPECT_TRUE(product.WaitUntilGone());
    EXPECT_EQ(Record(L"product.txt"), (std::vector<std::wstring>{L"running", L"control 1", L"stopped"}));
    EXPECT_TRUE(main.Exists()) << "the product's own service name is tried first";
}

TEST_F(RollbackDeleteServiceTest, AStoppedServiceIsDeletedWithoutAStopRequest) {
    product.CreateUserMode();
    EXPECT_EQ(Run(RollbackDeleteService), 0u);
    EXPECT_EQ(ActionLogBytes(), "") << "a stop request to a stopped service would have failed and been logged";
    EXPECT_TRUE(product.WaitUntilGone());
}

TEST_F(RollbackDeleteServiceTest, FallsBackToTheMainService) {
    main.CreateUserMode(RecordOption(L"main.txt"));
    main.Start();
    EXPECT_EQ(Run(RollbackDeleteService), 0u);
    EXPECT_EQ(ActionLogBytes(), "");
    EXPECT_TRUE(main.WaitUntilGone());
    EXPECT_EQ(Record(L"main.txt"), (std::vector<std::wstring>{L"running", L"control 1", L"stopped"}));
}

TEST_F(RollbackDeleteServiceTest, AServiceThatCannotTakeAStopIsStillDeleted) {
    // Stop-pending for three seconds: a second stop request is refused.
    product.CreateUserMode(L"--stop-after 3000");
    product.Start();
    {
        const ih::UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        const ih::UniqueServiceHandle service(::OpenServiceW(manager.get(), L"Kestro Anti-Virus", SERVICE_ALL_ACCESS));
        SERVICE_STATUS status{};
        ASSERT_TRUE(::ControlService(service.get(), SERVICE_CONTROL_STOP, &status));
    }
    EXPECT_EQ(Run(RollbackDeleteService), 0u);
    EXPECT_EQ(ActionLogEntries(), std::vector<std::wstring>{L"Unable to stop the QMXService service"});
    EXPECT_TRUE(product.WaitUntilGone());
}

TEST_F(RollbackDeleteServiceTest, NoServiceIsLoggedAndNotAFailure) {
    EXPECT_EQ(Run(RollbackDeleteService), 0u);
    EXPECT_EQ(ActionLogEntries(),
              std::vector<std::wstring>{
                  L"Unable to open the QMXService service - it either cannot be stopped or is not installed"});
}

// The helper's own promise, which every test above leans on: a fixture that
// will not stop is ended with its service, so no test leaves a process behind.
TEST(ScopedServiceRemoval, EndsAFixtureThatDoesNotStop) {
    for (const wchar_t* options : {L"--ignore-stop", L"--stay-pending --wait-hint 60000"}) {
        SCOPED_TRACE(testing::Message() << std::string(options, options + wcslen(options)));
        ScopedService service{L"Kestro Test Stubborn"};
        service.CreateUserMode(options);
        service.Start();
        const ih::UniqueHandle process(::OpenProcess(SYNCHRONIZE, FALSE, service.ProcessId()));
        ASSERT_TRUE(process);
        const DWORD start = ::GetTickCount();
        service.Remove();
        EXPECT_GE(::GetTickCount() - start, 1900u) << "the fixture is given its 2 s";
        EXPECT_EQ(::WaitForSingleObject(process.get(), 0), static_cast<DWORD>(WAIT_OBJECT_0));
        EXPECT_FALSE(service.Exists());
    }
}

// The driver keys in a control set that a test made, removed afterwards; a
// control set that was there before keeps all but the test's keys.
class ControlSetTree {
public:
    explicit ControlSetTree(const std::wstring& set)
        : ownsSet_(!KeyExists(L"SYSTEM\\" + set)), set_(L"SYSTEM\\" + set),
          control_(HKEY_LOCAL_MACHINE, set_ + L"\\Services\\QMXOnAccess control"),
          filter_(HKEY_LOCAL_MACHINE, set_ + L"\\Services\\QMXOnAccess filter"),
          controlSource_(HKEY_LOCAL_MACHINE, set_ + L"\\Services\\EventLog\\System\\QMXOnAccess control"),
          filterSource_(HKEY_LOCAL_MACHINE, set_ + L"\\Services\\EventLog\\System\\QMXOnAccess filter"),
          neighbour_(HKEY_LOCAL_MACHINE, set_ + L"\\Services\\QMXOnAccess neighbour") {}
    ~ControlSetTree() {
        if (ownsSet_) {
            const ScopedRegistryTree wholeSet(HKEY_LOCAL_MACHINE, set_);
        }
    }
    void Fill() const {
        for (const auto* tree : {&control_, &filter_, &controlSource_, &filterSource_}) {
            tree->Create(L"Parameters\\Instances");
            tree->Create(L"Enum");
        }
        neighbour_.Create(L"Parameters");
    }
    bool DriverKeysGone() const {
        return !control_.Exists() && !filter_.Exists() && !controlSource_.Exists() && !filterSource_.Exists();
    }
    bool NeighboursKept() const {
        return neighbour_.Exists(L"Parameters") && KeyExists(set_ + L"\\Services\\EventLog\\System");
    }
    static bool KeyExists(const std::wstring& path) {
        HKEY key = nullptr;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
        ::RegCloseKey(key);
        return true;
    }

private:
    bool ownsSet_;
    std::wstring set_;
    ScopedRegistryTree control_, filter_, controlSource_, filterSource_, neighbour_;
};

TEST_F(ServiceActionTest, DeleteDriverKeysCleansEveryControlSet) {
    for (const bool withSecondSet : {true, false}) {
        SCOPED_TRACE(withSecondSet ? "ControlSet002 present" : "ControlSet002 missing");
        std::vector<std::unique_ptr<ControlSetTree>> sets;
        for (const wchar_t* set : {L"CurrentControlSet", L"ControlSet001", L"ControlSet002"}) {
            if (!withSecondSet && std::wstring(set) == L"ControlSet002") continue;
            sets.push_back(std::make_unique<ControlSetTree>(set));
            sets.back()->Fill();
        }
        if (!withSecondSet) {
            ASSERT_FALSE(ControlSetTree::KeyExists(L"SYSTEM\\ControlSet002"));
        }
        EXPECT_EQ(Run(DeleteDriverKeys), 0u);
        for (const auto& set : sets) {
            EXPECT_TRUE(set->DriverKeysGone());
            EXPECT_TRUE(set->NeighboursKept());
        }
        EXPECT_EQ(ActionLogBytes(), "");
    }
    EXPECT_EQ(Run(DeleteDriverKeys), 0u) << "nothing left to delete";
    EXPECT_EQ(ActionLogBytes(), "");
}

} // namespace
