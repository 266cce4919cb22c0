// PreInstallChecks through its exported entry point, with real installation
// handles (installer messages received by an external UI handler), the earlier
// generation's registry record, its uninstaller and a process showing its
// windows.

#include "actions/Exports.h"
#include "frame/Clock.h"
#include "update/ClassicProduct.h"
#include "support/Fixtures.h"
#include "support/HandleCount.h"
#include "support/LogFile.h"
#include "support/TestClock.h"
#include "support/TestFolder.h"
#include "support/TestPackage.h"
#include "support/TestRegistry.h"

#include <gtest/gtest.h>

#include <shlwapi.h>

#include <algorithm>
#include <stdexcept>

namespace {

using namespace ih::test;

constexpr char kDescription[] = "[PACKAGE]\r\n"
                                "Component1=17,4#1,4#2\r\n"
                                "Component2=3,9#9\r\n"
                                "ServiceLongName1=4#1, Kestro Classic Scanner \r\n"
                                "ServiceLongName2=9#9,Kestro Classic Unlisted\r\n"
                                "ServiceLongName3=4#2,Kestro Classic Monitor\r\n";

class PreInstallChecksTest : public testing::Test {
protected:
    TestFolder temp;
    TemporaryFolderRedirect redirect{temp.Path()};
    TestFolder classic;
    ScopedRegistryTree kestro{HKEY_LOCAL_MACHINE, L"SOFTWARE\\Kestro\\BruskNT"};
    const TestPackage package;

    void WriteRecord(DWORD status, const std::wstring& path) const { WriteRecordValues(&status, &path); }
    void WriteRecordValues(const DWORD* status, const std::wstring* path, DWORD pathType = REG_SZ) const {
        kestro.Create();
        HKEY key = nullptr;
        ASSERT_EQ(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kestro.Path().c_str(), 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
        if (status)
            ::RegSetValueExW(key, L"Status", 0, REG_DWORD, reinterpret_cast<const BYTE*>(status), sizeof *status);
        if (path)
            ::RegSetValueExW(key, L"Path", 0, pathType, reinterpret_cast<const BYTE*>(path->c_str()),
                             static_cast<DWORD>((path->size() + 1) * sizeof(wchar_t)));
        ::RegCloseKey(key);
    }
    // The earlier generation installed in `classic`, its uninstaller behaving as told.
    void InstallClassic(const char* behaviour, DWORD status = 16) const {
        InstallClassicIn(classic, behaviour, status);
    }
    void InstallClassicIn(const TestFolder& folder, const char* behaviour, DWORD status = 16) const {
        folder.WriteFile(L"ZORL.DLL", "zorl");
        folder.WriteFile(L"WBRUSKNT.inf", kDescription);
        folder.WriteFile(L"behaviour.txt", behaviour);
        ASSERT_TRUE(::CopyFileW(FixturePath(L"classic_setup.exe").c_str(), (folder / L"setup.exe").c_str(), FALSE));
        WriteRecord(status, folder.Path() + L"\\"); // two trailing backslashes
    }
    static std::wstring ExpectedUninstallCommand(const TestFolder& where) {
        std::wstring folder = where.Path();
        folder.pop_back();
        return L"\"" + folder + L"\\setup.exe\" -ni -remove -noimp";
    }
    void SetUp() override {
        // One-time initialisations that later calls reuse are made before
        // handles are counted: the runtime's first exception keeps four
        // handles, and Wine's first profile read in a process keeps one.
        try {
            throw std::runtime_error("warm-up");
        } catch (const std::exception&) {
        }
        temp.WriteFile(L"warm-up.ini", "[PACKAGE]\r\nA=1\r\n");
        wchar_t value[8];
        ::GetPrivateProfileStringW(L"PACKAGE", L"A", L"", value, 8, (temp / L"warm-up.ini").c_str());
    }
    UINT Run() const {
        const HandleCountCheck handles;
        const UINT result = PreInstallChecks(package.Handle());
        EXPECT_TRUE(handles.Unchanged());
        return result;
    }
    static void ExpectClassicError(const MessageRecorder& recorder) {
        ASSERT_EQ(recorder.Messages().size(), 1u);
        const PostedMessage& message = recorder.Messages()[0];
        EXPECT_EQ(message.type, INSTALLMESSAGE_ERROR);
        EXPECT_EQ(message.number, 3002);
        EXPECT_EQ(message.fields[0], L"Kestro Anti-Virus");
        EXPECT_TRUE(message.isNull[1] && message.isNull[2]);
    }
};

TEST_F(PreInstallChecksTest, PendingRestartRefusesAndDoesNothingElse) {
    InstallClassic("remove");
    temp.WriteFile(L"KestroRebootTest.txt", "");
    const MessageRecorder recorder;
    PatientClock clock;
    EXPECT_EQ(Run(), 1603u);
    ASSERT_EQ(recorder.Messages().size(), 1u);
    EXPECT_EQ(recorder.Messages()[0].type, INSTALLMESSAGE_ERROR);
    EXPECT_EQ(recorder.Messages()[0].number, 3000);
    EXPECT_TRUE(recorder.Messages()[0].isNull[0] && recorder.Messages()[0].isNull[1] &&
                recorder.Messages()[0].isNull[2]);
    EXPECT_TRUE(clock.waits.empty());
    EXPECT_FALSE(FileExists(classic / L"setup-called.txt"));
    EXPECT_TRUE(kestro.Exists());
    EXPECT_EQ(ActionLogBytes(), "");
}

TEST_F(PreInstallChecksTest, RecordsThatDoNotNameAnInstalledProduct) {
    const DWORD installed = 16, other = 32;
    const std::wstring missingFolder = classic / L"gone";
    const std::wstring overlong = L"C:\\" + std::wstring(300, L'x');
    const std::wstring string16 = L"16";
    struct Case {
        const char* what;
        bool record;
        const DWORD* status;
        const std::wstring* path;
        bool stringStatus;
        bool recordKept;
    } const cases[] = {
        {"no record", false, nullptr, nullptr, false, false},
        {"stale record: folder without ZORL.DLL", true, &installed, &missingFolder, false, false},
        {"stale record with status 32", true, &other, &missingFolder, false, false},
        {"status as a string", true, nullptr, &missingFolder, true, true},
        {"no status", true, nullptr, &missingFolder, false, true},
        {"no path", true, &installed, nullptr, false, true},
        {"path beyond 259 characters", true, &installed, &overlong, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ::SHDeleteKeyW(HKEY_LOCAL_MACHINE, kestro.Path().c_str());
        if (c.record) WriteRecordValues(c.status, c.path);
        if (c.stringStatus) {
            HKEY key = nullptr;
            ASSERT_EQ(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kestro.Path().c_str(), 0, KEY_SET_VALUE, &key),
                      ERROR_SUCCESS);
            ::RegSetValueExW(key, L"Status", 0, REG_SZ, reinterpret_cast<const BYTE*>(string16.c_str()),
                             static_cast<DWORD>((string16.size() + 1) * sizeof(wchar_t)));
            ::RegCloseKey(key);
        }
        const MessageRecorder recorder;
        PatientClock clock;
        EXPECT_EQ(Run(), 0u);
        EXPECT_TRUE(recorder.Messages().empty());
        EXPECT_TRUE(clock.waits.empty()) << "no uninstaller run";
        EXPECT_EQ(kestro.Exists(), c.recordKept);
        EXPECT_EQ(ActionLogBytes(), "") << "silently";
    }
}

TEST_F(PreInstallChecksTest, UnexpectedStatusGivesError3002) {
    InstallClassic("remove", 48);
    const MessageRecorder recorder;
    PatientClock clock;
    EXPECT_EQ(Run(), 1603u);
    ExpectClassicError(recorder);
    EXPECT_TRUE(clock.waits.empty());
    EXPECT_FALSE(FileExists(classic / L"setup-called.txt"));
}

TEST_F(PreInstallChecksTest, ClosesTheWindowsAndRunsTheUninstaller) {
    InstallClassic("remove");
    const std::wstring report = temp / L"windows.txt";
    const std::wstring started = UniqueEventName(L"windows");
    const ChildProcess windows(
        Quoted(FixturePath(L"window_host.exe")) + L" " + Quoted(report) + L" " + started +
            L" \"Kestro Classic Scanner\" \"Kestro Classic Unlisted\" \"Kestro Classic Monitor\"",
        started);
    const MessageRecorder recorder;
    PatientClock clock;
    EXPECT_EQ(Run(), 0u);
    EXPECT_TRUE(recorder.Messages().empty());
    EXPECT_EQ(clock.waits, std::vector<DWORD>{300000});
    EXPECT_EQ(ReadLines(classic / L"setup-called.txt"), std::vector<std::wstring>{ExpectedUninstallCommand(classic)});
    EXPECT_FALSE(FileExists(classic / L"ZORL.DLL"));
    EXPECT_FALSE(kestro.Exists()) << "the second look finds the record stale and removes it";
    EXPECT_EQ(ActionLogBytes(), "");

    std::vector<std::wstring> closed;
    for (int i = 0; i < 200 && closed.size() < 2; ++i, ::Sleep(50)) closed = ReadLines(report);
    ::Sleep(200);
    EXPECT_EQ(ReadLines(report),
              (std::vector<std::wstring>{L"closed Kestro Classic Scanner", L"closed Kestro Classic Monitor"}));
}

TEST_F(PreInstallChecksTest, ProductThatSurvivesItsUninstallerGivesError3002) {
    struct Case {
        const char* what;
        const char* behaviour;
        bool hangs;
        bool withUninstaller;
    } const cases[] = {
        {"uninstaller leaves it", "leave", false, true},
        {"uninstaller hangs", "hang", true, true},
        {"no uninstaller", "remove", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ::DeleteFileW((temp / L"Kestro Anti-Virus CustomActions Log.txt").c_str());
        const TestFolder folder; // a hanging uninstaller keeps its own file busy
        InstallClassicIn(folder, c.behaviour);
        if (!c.withUninstaller) {
            ASSERT_TRUE(::DeleteFileW((folder / L"setup.exe").c_str()));
        }
        const MessageRecorder recorder;
        UINT result = 0;
        std::vector<DWORD> waits;
        if (c.hangs) {
            const RecordingClock clock; // the 5-minute bound passes in 300 ms
            result = Run();
            waits = clock.waits;
        } else {
            PatientClock clock;
            result = Run();
            waits = clock.waits;
        }
        EXPECT_EQ(result, 1603u);
        ExpectClassicError(recorder);
        EXPECT_EQ(waits, c.withUninstaller ? std::vector<DWORD>{300000} : std::vector<DWORD>{});
        EXPECT_EQ(ActionLogEntries(),
                  std::vector<std::wstring>{L"Uninstallation of Classic QMX was unsuccessful - exiting installation"});
        EXPECT_TRUE(kestro.Exists());
        if (c.withUninstaller) {
            EXPECT_EQ(ReadLines(folder / L"setup-called.txt"),
                      std::vector<std::wstring>{ExpectedUninstallCommand(folder)});
        }
    }
}

TEST(ClassicProduct, PathValuesAreReadWithinTheirBounds) {
    const ScopedRegistryTree tree(HKEY_CURRENT_USER, L"Software\\KestroTests\\Classic");
    tree.Create();
    HKEY key = nullptr;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, tree.Path().c_str(), 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    struct Case {
        const char* what;
        DWORD type;
        std::wstring stored; // exactly the characters stored
        bool ok;
        std::wstring expected;
    } const cases[] = {
        {"terminated", REG_SZ, std::wstring(L"C:\\Classic\0", 11), true, L"C:\\Classic"},
        {"unterminated", REG_SZ, L"C:\\Classic", true, L"C:\\Classic"},
        {"expandable, not expanded", REG_EXPAND_SZ, std::wstring(L"%ProgramFiles%\\Classic\0", 23), true,
         L"%ProgramFiles%\\Classic"},
        {"259 characters", REG_SZ, std::wstring(259, L'p') + L'\0', true, std::wstring(259, L'p')},
        {"260 characters, unterminated", REG_SZ, std::wstring(260, L'p'), false, L""},
        {"260 characters", REG_SZ, std::wstring(260, L'p') + L'\0', false, L""},
        {"a number", REG_DWORD, std::wstring(2, L'\x10'), false, L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(::RegSetValueExW(key, L"Path", 0, c.type, reinterpret_cast<const BYTE*>(c.stored.data()),
                                   static_cast<DWORD>(c.stored.size() * sizeof(wchar_t))),
                  ERROR_SUCCESS);
        std::wstring path;
        EXPECT_EQ(ih::update::ReadClassicPath(key, path), c.ok);
        if (c.ok) {
            EXPECT_EQ(path, c.expected);
        }
    }
    ::RegCloseKey(key);
}

TEST_F(PreInstallChecksTest, WindowTitlesComeFromTheDescriptionNamedByTheRecord) {
    classic.WriteFile(L"WBRUSKNT.inf", kDescription);
    WriteRecord(16, classic.Path());
    const HandleCountCheck handles;
    std::vector<std::wstring> titles = ih::update::ReadClassicWindowTitles();
    EXPECT_TRUE(handles.Unchanged());
    EXPECT_EQ(titles, (std::vector<std::wstring>{L"Kestro Classic Scanner", L"Kestro Classic Monitor"}));

    ::SHDeleteKeyW(HKEY_LOCAL_MACHINE, kestro.Path().c_str());
    EXPECT_TRUE(ih::update::ReadClassicWindowTitles().empty());
}

} // namespace
