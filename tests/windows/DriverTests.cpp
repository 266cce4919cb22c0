// SetDriverProperty and InstallUnsignedDrivers through their exported entry
// points, with real installation handles, real driver services and the real
// system driver folder of the test prefix.

#include "NotifyTestSupport.h"
#include "actions/Exports.h"
#include "services/DriverProperty.h"
#include "support/Fixtures.h"
#include "support/HandleCount.h"
#include "support/LogFile.h"
#include "support/TestFolder.h"
#include "support/TestPackage.h"
#include "support/TestServices.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

using namespace ih::test;

// An environment variable of this process set (or removed) for the scope.
class ScopedEnvironment {
public:
    ScopedEnvironment(const wchar_t* name, const wchar_t* value) : name_(name) {
        wchar_t buffer[512] = {};
        const DWORD length = ::GetEnvironmentVariableW(name, buffer, 512);
        if (length > 0 && length < 512) previous_ = std::wstring(buffer, length);
        ::SetEnvironmentVariableW(name, value);
    }
    ~ScopedEnvironment() { ::SetEnvironmentVariableW(name_, previous_ ? previous_->c_str() : nullptr); }

private:
    const wchar_t* name_;
    std::optional<std::wstring> previous_;
};

bool TestRunsUnderWow64() {
    BOOL wow64 = FALSE;
    return ::IsWow64Process(::GetCurrentProcess(), &wow64) && wow64;
}

// The machine's own driver folder, seen from this process: a 32-bit process
// reaches it through "sysnative".
std::wstring NativeDriverFolder() {
    return TestRunsUnderWow64() ? L"C:\\windows\\sysnative\\drivers\\" : L"C:\\windows\\system32\\drivers\\";
}

class DriverPropertyTest : public testing::Test {
protected:
    TestFolder temp;
    TemporaryFolderRedirect redirect{temp.Path()};
    TestFolder source;
};

TEST_F(DriverPropertyTest, ChoosesTheSetByArchitectureAndPublishesAMissingCatalogue) {
    struct Case {
        const wchar_t* architecture;
        const wchar_t* version;
        const wchar_t* folder;
        bool announced; // "Setting the DriverProperty to ..."
    } const cases[] = {
        {L"AMD64", L"AMD64", L"WinXP_AMD64", true}, {L"IA64", L"IA64", L"WinXP_IA64", true},
        {L"x86", L"XP", L"WinXP_i386", false},      {L"amd64", L"XP", L"WinXP_i386", false}, // letter case matters
        {L"Ia64", L"XP", L"WinXP_i386", false},
    };
    // The test prefix reports Windows 7; PROCESSOR_ARCHITEW6432 is cleared so
    // that a 32-bit run sees the architecture it is given.
    const ScopedEnvironment native(L"PROCESSOR_ARCHITEW6432", nullptr);
    for (const auto& c : cases) {
        for (const bool withCatalogue : {true, false}) {
            SCOPED_TRACE(testing::Message() << std::string(c.architecture, c.architecture + wcslen(c.architecture))
                                            << (withCatalogue ? " with catalogue" : " without catalogue"));
            RemoveTree(source.Path());
            ::CreateDirectoryW(source.Path().c_str(), nullptr);
            if (withCatalogue) source.WriteFile(std::wstring(c.folder) + L"\\qmx.cat", "catalogue");
            source.WriteFile(L"WinXP_i386\\other.txt", "decoy");
            ::DeleteFileW((temp / L"Kestro Anti-Virus CustomActions Log.txt").c_str());
            const ScopedEnvironment architecture(L"PROCESSOR_ARCHITECTURE", c.architecture);
            const TestPackage package({{L"SOURCEDIR", source.Path()}});
            const HandleCountCheck handles;
            EXPECT_EQ(SetDriverProperty(package.Handle()), 0u);
            EXPECT_TRUE(handles.Unchanged());
            EXPECT_EQ(package.Property(L"DRIVERVERSION"), c.version);
            EXPECT_EQ(package.Property(L"UPDATEDRIVERS"), withCatalogue ? L"" : L"2");
            std::vector<std::wstring> lines{std::wstring(L"PROCESSOR_ARCHITECTURE environment variable is: ") +
                                            c.architecture};
            if (c.announced) lines.push_back(std::wstring(L"Setting the DriverProperty to ") + c.version);
            EXPECT_EQ(ActionLogEntries(), lines);
        }
    }
}

TEST_F(DriverPropertyTest, WindowsTwoThousandTakesNoCatalogue) {
    const TestPackage package({{L"SOURCEDIR", source.Path()}, {L"UPDATEDRIVERS", L"1"}});
    const ih::ActionLog log;
    const HandleCountCheck handles;
    EXPECT_EQ(ih::services::SetDriverPropertyOn(package.Handle(), log, {L"x86", L"", false}), 0u);
    EXPECT_TRUE(handles.Unchanged());
    EXPECT_EQ(package.Property(L"DRIVERVERSION"), L"2K");
    EXPECT_EQ(package.Property(L"UPDATEDRIVERS"), L"1") << "no catalogue check on Windows 2000";
    EXPECT_EQ(ih::services::SetDriverPropertyOn(package.Handle(), log, {L"AMD64", L"", false}), 0u);
    EXPECT_EQ(package.Property(L"DRIVERVERSION"), L"AMD64") << "a 64-bit machine is never Windows 2000";
    EXPECT_EQ(package.Property(L"UPDATEDRIVERS"), L"2");
}

// The prefix reports another Windows version to the probe program, which
// tells the action it runs on x86: only Windows 2000 takes the "2K" set, and
// Vista (6.0) is later than XP although its minor version is lower.
TEST_F(DriverPropertyTest, TheWindowsVersionChoosesBetweenTheTwoThousandAndXpSets) {
    const std::wstring appDefaults = L"Software\\Wine\\AppDefaults\\driver_property_probe.exe";
    const ScopedRegistryTree probeVersion{HKEY_CURRENT_USER, appDefaults};
    struct Case {
        const wchar_t* version;
        const wchar_t* driverVersion;
        const wchar_t* updateDrivers; // the source has no catalogue: "2" once it is looked for
    } const cases[] = {{L"win2k", L"2K", L""},
                       {L"winxp", L"XP", L"2"},
                       {L"win2003", L"XP", L"2"},
                       {L"vista", L"XP", L"2"},
                       {L"win7", L"XP", L"2"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.version, c.version + wcslen(c.version)));
        const std::wstring record = temp / L"probe.txt";
        ::DeleteFileW(record.c_str());
        ::DeleteFileW((temp / L"Kestro Anti-Virus CustomActions Log.txt").c_str());
        SetText(HKEY_CURRENT_USER, appDefaults, L"Version", c.version);
        // Without its trailing backslash, which would escape the closing quote.
        const std::wstring folder = source.Path().substr(0, source.Path().size() - 1);
        const ChildProcess probe(Quoted(FixturePath(L"driver_property_probe.exe")) + L" " + Quoted(folder) + L" " +
                                 Quoted(record));
        EXPECT_EQ(probe.Wait(), 0u);
        EXPECT_EQ(ReadLines(record),
                  (std::vector<std::wstring>{L"result 0", std::wstring(L"DRIVERVERSION=") + c.driverVersion,
                                             std::wstring(L"UPDATEDRIVERS=") + c.updateDrivers}));
        EXPECT_EQ(ActionLogEntries(),
                  std::vector<std::wstring>{L"PROCESSOR_ARCHITECTURE environment variable is: x86"});
    }
}

TEST_F(DriverPropertyTest, AThirtyTwoBitProcessOnASixtyFourBitMachineChoosesTheMachinesDrivers) {
    source.WriteFile(L"WinXP_AMD64\\qmx.cat", "catalogue");
    const ScopedEnvironment architecture(L"PROCESSOR_ARCHITECTURE", L"x86");
    const ScopedEnvironment native(L"PROCESSOR_ARCHITEW6432", L"AMD64");
    const TestPackage package({{L"SOURCEDIR", source.Path()}});
    const HandleCountCheck handles;
    EXPECT_EQ(SetDriverProperty(package.Handle()), 0u);
    EXPECT_TRUE(handles.Unchanged());
    if (TestRunsUnderWow64()) {
        EXPECT_EQ(package.Property(L"DRIVERVERSION"), L"AMD64");
        EXPECT_EQ(package.Property(L"UPDATEDRIVERS"), L"");
        EXPECT_EQ(ActionLogEntries(),
                  (std::vector<std::wstring>{L"PROCESSOR_ARCHITECTURE environment variable is: x86",
                                             L"PROCESSOR_ARCHITEW6432 environment variable is: AMD64",
                                             L"Setting the DriverProperty to AMD64"}));
    } else {
        // A 64-bit process is never redirected: the variable means nothing to it.
        EXPECT_EQ(package.Property(L"DRIVERVERSION"), L"XP");
        EXPECT_EQ(ActionLogEntries(),
                  std::vector<std::wstring>{L"PROCESSOR_ARCHITECTURE environment variable is: x86"});
    }
}

TEST_F(DriverPropertyTest, AMissingOrShortSourceFolderIsFatal) {
    const std::wstring line = L"Error getting SOURCEDIR property inside SetDriverProperty custom action";
    for (const wchar_t* value : {L"", L"C"}) {
        ::DeleteFileW((temp / L"Kestro Anti-Virus CustomActions Log.txt").c_str());
        const TestPackage package({{L"SOURCEDIR", value}});
        const HandleCountCheck handles;
        EXPECT_EQ(SetDriverProperty(package.Handle()), 1603u);
        EXPECT_TRUE(handles.Unchanged());
        EXPECT_EQ(package.Property(L"DRIVERVERSION"), L"");
        EXPECT_EQ(ActionLogEntries(), std::vector<std::wstring>{line});
    }
    ::DeleteFileW((temp / L"Kestro Anti-Virus CustomActions Log.txt").c_str());
    EXPECT_EQ(SetDriverProperty(0), 1603u);
    EXPECT_EQ(ActionLogEntries(), std::vector<std::wstring>{line});
}

// Both driver services and both driver files, removed before and after.
class InstallDriversTest : public testing::Test {
protected:
    TestFolder temp;
    TemporaryFolderRedirect redirect{temp.Path()};
    TestFolder source;
    ScopedService filter{L"QMXOnAccess Filter"};
    ScopedService control{L"QMXOnAccess Control"};
    const std::wstring drivers = NativeDriverFolder();

    InstallDriversTest() { RemoveDriverFiles(); }
    ~InstallDriversTest() override { RemoveDriverFiles(); }

    void RemoveDriverFiles() const {
        for (const wchar_t* name : {L"qmxonaccessfilter.sys", L"qmxonaccesscontrol.sys"}) {
            ::SetFileAttributesW((drivers + name).c_str(), FILE_ATTRIBUTE_NORMAL);
            ::DeleteFileW((drivers + name).c_str());
        }
    }
    void LayOutSet(const std::wstring& folder) const {
        source.WriteFile(folder + L"\\qmxonaccessfilter.sys", "filter " + std::string(folder.begin(), folder.end()));
        source.WriteFile(folder + L"\\qmxonaccesscontrol.sys", "control " + std::string(folder.begin(), folder.end()));
    }
    std::wstring SourceFolderWithoutBackslash() const { return source.Path().substr(0, source.Path().size() - 1); }
    UINT Run(const std::wstring& data) const {
        ::DeleteFileW((temp / L"Kestro Anti-Virus CustomActions Log.txt").c_str());
        const TestPackage package = PackageWithActionData(data);
        const HandleCountCheck handles;
        const UINT result = InstallUnsignedDrivers(package.Handle());
        EXPECT_TRUE(handles.Unchanged());
        return result;
    }
    static std::wstring SystemDriverPath(const wchar_t* file) {
        wchar_t system[MAX_PATH] = {};
        ::GetSystemDirectoryW(system, MAX_PATH);
        return std::wstring(system) + L"\\Drivers\\\\" + file;
    }
};

TEST_F(InstallDriversTest, CopiesTheSetAndCreatesBothDriverServices) {
    struct Case {
        const wchar_t* version;
        const wchar_t* folder;
    } const cases[] = {{L"XP", L"WinXP_i386"}, {L"AMD64", L"WinXP_AMD64"}, {L"IA64", L"WinXP_IA64"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.folder);
        for (const wchar_t* other : {L"WinXP_i386", L"WinXP_AMD64", L"WinXP_IA64"}) LayOutSet(other);
        LayOutSet(c.folder);
        EXPECT_EQ(Run(L"\"" + SourceFolderWithoutBackslash() + L"\"\"" + c.version + L"\""), 0u);
        const std::string folder(c.folder, c.folder + wcslen(c.folder));
        EXPECT_EQ(ReadWholeFile(drivers + L"qmxonaccessfilter.sys"), "filter " + folder)
            << "copied into the machine's own driver folder";
        EXPECT_EQ(ReadWholeFile(drivers + L"qmxonaccesscontrol.sys"), "control " + folder);
        for (const auto* service : {&filter, &control}) {
            const ServiceConfiguration config = service->Configuration();
            EXPECT_EQ(config.type, static_cast<DWORD>(SERVICE_FILE_SYSTEM_DRIVER));
            EXPECT_EQ(config.startType, static_cast<DWORD>(SERVICE_SYSTEM_START));
            EXPECT_EQ(config.errorControl, static_cast<DWORD>(SERVICE_ERROR_NORMAL));
            EXPECT_EQ(config.loadOrderGroup, L"AntiVirus");
            EXPECT_EQ(config.displayName, service->Name());
            EXPECT_EQ(service->State(), static_cast<DWORD>(SERVICE_STOPPED)) << "not started here";
        }
        EXPECT_EQ(filter.Configuration().binaryPath, SystemDriverPath(L"qmxonaccessfilter.sys"));
        EXPECT_EQ(control.Configuration().binaryPath, SystemDriverPath(L"qmxonaccesscontrol.sys"));
        EXPECT_EQ(ActionLogBytes(), "");
        filter.Remove();
        control.Remove();
        RemoveDriverFiles();
    }
}

TEST_F(InstallDriversTest, AReadOnlyDriverIsReplacedAndMissingFilesAreNotAnError) {
    LayOutSet(L"WinXP_AMD64");
    {
        const HANDLE file = ::CreateFileW((drivers + L"qmxonaccessfilter.sys").c_str(), GENERIC_WRITE, 0, nullptr,
                                          CREATE_ALWAYS, FILE_ATTRIBUTE_READONLY, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        ::CloseHandle(file);
    }
    EXPECT_EQ(Run(source.Path() + L"\"AMD64"), 0u);
    EXPECT_EQ(ReadWholeFile(drivers + L"qmxonaccessfilter.sys"), "filter WinXP_AMD64");

    filter.Remove();
    control.Remove();
    RemoveDriverFiles();
    EXPECT_EQ(Run(source.Path() + L"\"XP"), 0u) << "the XP set is missing from the source";
    EXPECT_FALSE(FileExists(drivers + L"qmxonaccessfilter.sys"));
    EXPECT_TRUE(filter.Exists());
    EXPECT_TRUE(control.Exists());
    EXPECT_EQ(ActionLogBytes(), "");
}

TEST_F(InstallDriversTest, ExistingServicesCountAsCreated) {
    // A repair: the filter service is there, the control service must still be made.
    filter.CreateDriver(L"C:\\elsewhere\\qmxonaccessfilter.sys");
    EXPECT_EQ(Run(source.Path() + L"\"AMD64"), 0u);
    EXPECT_EQ(ActionLogEntries(),
              std::vector<std::wstring>{L"InstallAndLoadDrivers: Failed to return QMXOnAccess Filter driver handle"});
    EXPECT_TRUE(control.Exists());
    EXPECT_EQ(filter.Configuration().binaryPath, L"C:\\elsewhere\\qmxonaccessfilter.sys") << "left as it was";

    EXPECT_EQ(Run(source.Path() + L"\"AMD64"), 0u);
    EXPECT_EQ(ActionLogEntries(), (std::vector<std::wstring>{
                                      L"InstallAndLoadDrivers: Failed to return QMXOnAccess Filter driver handle",
                                      L"InstallAndLoadDrivers: Failed to return QMXOnAccess Control driver handle"}));
}

TEST_F(InstallDriversTest, BadActionDataIsFatalWithItsLine) {
    const std::wstring noSource =
        L"InstallUnsignedDrivers custom action data was empty - cannot determine SOURCEDIR or INSTALLDIR";
    const std::wstring noVersion =
        L"InstallUnsignedDrivers custom action data was empty - cannot determine Operating System";
    const std::wstring badVersion = L"Unable to determine OS level from property set in InstallUnsignedDrivers";
    struct Case {
        const char* what;
        std::wstring data;
        std::wstring line;
    } const cases[] = {
        {"undefined", L"", L"Empty string returned from GetProperty inside InstallUnsignedDrivers. Fatal error"},
        {"only delimiters", L"\"\"\"", noSource},
        {"no version", source.Path(), noVersion},
        {"no version after delimiters", source.Path() + L"\"\"", noVersion},
        {"Windows 2000", source.Path() + L"\"2K", badVersion},
        {"letter case", source.Path() + L"\"xp", badVersion},
        {"thousands of characters", std::wstring(40000, L'p') + L"\"" + std::wstring(40000, L'v'), badVersion},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Run(c.data), 1603u);
        EXPECT_EQ(ActionLogEntries(), std::vector<std::wstring>{c.line});
        EXPECT_FALSE(filter.Exists());
    }
    ::DeleteFileW((temp / L"Kestro Anti-Virus CustomActions Log.txt").c_str());
    EXPECT_EQ(InstallUnsignedDrivers(0), 1603u);
    EXPECT_EQ(ActionLogEntries(), std::vector<std::wstring>{L"Error getting InstallUnsignedDrivers CustomActionData"});
}

} // namespace
