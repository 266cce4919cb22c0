// The script stages with real processes: configured lines in "QMX.CFG", small
// programs and batch files as scripts, run records in the registry.

#include "actions/Exports.h"
#include "frame/Handles.h"
#include "crypto/FileChecksum.h"
#include "support/Fixtures.h"
#include "support/HandleCount.h"
#include "support/LogFile.h"
#include "support/TestFolder.h"
#include "support/TestPackage.h"
#include "support/TestRegistry.h"

#include <gtest/gtest.h>

#include <optional>
#include <sstream>

namespace {

using namespace ih::test;

class ScriptStageTest : public testing::Test {
protected:
    TestFolder temp;
    TemporaryFolderRedirect redirect{temp.Path()};
    ScopedRegistryTree service{HKEY_LOCAL_MACHINE, L"SOFTWARE\\Kestro\\QMXService"};
    TestFolder install;
    TestFolder scripts;

    // The first private-profile read of a program leaves Wine a cached
    // registry key of its own; read once before any handle count is taken.
    static void SetUpTestSuite() {
        wchar_t value[8];
        ::GetPrivateProfileStringW(L"Scripts", L"BeforeScript", L"", value, 8, FixturePath(L"none.cfg").c_str());
    }

    void SetUp() override {
        for (const wchar_t* name : {L"a.exe", L"b.exe", L"c.exe", L"u.exe"})
            ASSERT_TRUE(::CopyFileW(FixturePath(L"ScriptProbe.exe").c_str(), (scripts / name).c_str(), FALSE));
    }

    // Writes the "Scripts" section of QMX.CFG: `key=line` pairs as given.
    void Configure(std::initializer_list<std::pair<const char*, std::string>> entries) const {
        std::string text = "; installation scripts\r\n[Other]\r\nAfterScript=other-section.exe\r\n[Scripts]\r\n";
        for (const auto& [key, line] : entries) text += std::string(key) + "=" + line + "\r\n";
        scripts.WriteFile(L"QMX.CFG", text);
    }

    std::wstring Data() const {
        std::wstring scriptFolder = scripts.Path();
        scriptFolder.pop_back(); // %ScriptPath% comes without a trailing backslash
        return install.Path() + L"\"" + scriptFolder + L"\"6.1.0";
    }

    // Runs `action` with this test's data and checks it released everything.
    UINT Run(UINT(__stdcall* action)(MSIHANDLE), std::wstring_view property = L"CustomActionData") const {
        const TestPackage package({{property, Data()}});
        const HandleCountCheck handles;
        const UINT result = action(package.Handle());
        EXPECT_TRUE(handles.Unchanged()) << "process, thread and registry handles are all closed";
        return result;
    }

    // The lines the scripts wrote, in order.
    std::vector<std::string> Runs() const {
        std::istringstream text(ReadWholeFile(scripts / L"runs.txt"));
        std::vector<std::string> lines;
        for (std::string line; std::getline(text, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(line);
        }
        return lines;
    }

    std::optional<DWORD> Record(const std::wstring& name) const {
        DWORD value = 0, size = sizeof value, type = 0;
        if (::RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Kestro\\QMXService\\ScriptCheck", name.c_str(), RRF_RT_ANY,
                           &type, &value, &size) != ERROR_SUCCESS ||
            type != REG_DWORD)
            return std::nullopt;
        return value;
    }

    DWORD ChecksumOf(const wchar_t* name) const {
        std::uint32_t checksum = 0;
        EXPECT_TRUE(ih::crypto::ComputeFileChecksum((scripts / name).c_str(), &checksum, nullptr));
        return checksum;
    }
};

using Lines = std::vector<std::string>;

TEST_F(ScriptStageTest, StopsAtTheFirstFailureKeepingEarlierScriptsRecorded) {
    Configure({{"AfterScript", "[1]%ScriptPath%\\a.exe 0 first"},
               {"AfterScript1", "[1] %ScriptPath%\\b.exe 1 second"},
               {"AfterScript2", "%ScriptPath%\\c.exe 0 third"}});
    EXPECT_EQ(Run(RunAfterScripts), 1603u);
    EXPECT_EQ(Runs(), (Lines{"first show=0", "second show=0"}));
    EXPECT_EQ(Record(L"a.exe"), ChecksumOf(L"a.exe"));
    EXPECT_EQ(Record(L"b.exe"), std::nullopt) << "a failed script is not recorded";
    EXPECT_EQ(Record(L"c.exe"), std::nullopt);
    EXPECT_EQ(ActionLogBytes(), "") << "script outcomes are not logged";

    // The next installation skips the recorded script and tries the failed one again.
    EXPECT_EQ(Run(RunAfterScripts), 1603u);
    EXPECT_EQ(Runs(), (Lines{"first show=0", "second show=0", "second show=0"}));
}

TEST_F(ScriptStageTest, RecordedScriptsRunOnceAndAgainWhenTheirContentChanges) {
    Configure({{"PreLaunchScript", "%ScriptPath%\\a.exe 0 one"},
               {"PreLaunchScript1", "%ScriptPath%\\a.exe 0 same program, other arguments"},
               {"PreLaunchScript2", "[Show] %ScriptPath%\\b.exe 7 shown"}});
    EXPECT_EQ(Run(RunPreLaunchScripts), 0u);
    EXPECT_EQ(Runs(), (Lines{"one show=0", "shown show=5"}));
    EXPECT_EQ(Record(L"a.exe"), ChecksumOf(L"a.exe"));
    EXPECT_EQ(Record(L"b.exe"), ChecksumOf(L"b.exe"));

    EXPECT_EQ(Run(RunPreLaunchScripts), 0u);
    EXPECT_EQ(Runs().size(), 2u) << "everything recorded: nothing starts";

    // An appended byte changes the checksum; the program still runs.
    const DWORD before = *Record(L"a.exe");
    HANDLE file = ::CreateFileW((scripts / L"a.exe").c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ::WriteFile(file, "!", 1, &written, nullptr);
    ::CloseHandle(file);
    EXPECT_EQ(Run(RunPreLaunchScripts), 0u);
    EXPECT_EQ(Runs(), (Lines{"one show=0", "shown show=5", "one show=0"}));
    EXPECT_NE(*Record(L"a.exe"), before);
    EXPECT_EQ(Record(L"a.exe"), ChecksumOf(L"a.exe"));
}

TEST_F(ScriptStageTest, RunAlwaysAndBareProgramNamesAreNeverRecorded) {
    Configure({{"AfterScript", "[RunAlways] %ScriptPath%\\a.exe 0 always"},
               {"AfterScript1", "cmd /c echo bare>>\"%ScriptPath%\\runs.txt\""}});
    EXPECT_EQ(Run(RunAfterScripts), 0u);
    EXPECT_EQ(Run(RunAfterScripts), 0u);
    EXPECT_EQ(Runs(), (Lines{"always show=0", "bare", "always show=0", "bare"}));
    EXPECT_EQ(Record(L"a.exe"), std::nullopt);
    EXPECT_EQ(Record(L""), std::nullopt) << "a bare program name would be recorded under the default value";
}

// A command whose opening quote is never closed cannot be split: it is handed
// to the system unchanged, whatever the system makes of it (Windows starts the
// rest of the line as the program; Wine refuses it), and never recorded.
TEST_F(ScriptStageTest, UnclosedQuoteIsStartedUnchangedAndNeverRecorded) {
    const std::wstring command = L"\"" + (scripts / L"u.exe");
    std::vector<wchar_t> buffer(command.begin(), command.end());
    buffer.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    const bool systemStartsIt =
        ::CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info);
    if (systemStartsIt) {
        ::WaitForSingleObject(info.hProcess, INFINITE);
        ::CloseHandle(info.hProcess);
        ::CloseHandle(info.hThread);
        ::DeleteFileW((scripts / L"runs.txt").c_str());
    }

    Configure({{"AfterScript", "\"%ScriptPath%\\u.exe"}});
    EXPECT_EQ(Run(RunAfterScripts), systemStartsIt ? 0u : 1603u);
    EXPECT_EQ(Runs(), systemStartsIt ? Lines{"noargs show=0"} : Lines{});
    EXPECT_EQ(Record(L"u.exe"), std::nullopt);
}

TEST_F(ScriptStageTest, ExitRules) {
    struct Case {
        std::string line;
        UINT result;
    } const cases[] = {
        {"[0]%ScriptPath%\\a.exe 0 zero", 1603}, // exit code 0 fails when the rule is 0
        {"[3]%ScriptPath%\\a.exe 4 four", 0},
        {"[-1]%ScriptPath%\\a.exe -1 minus", 1603},
        {"[NoneWait]%ScriptPath%\\a.exe 9 ignored", 0},
        {"%ScriptPath%\\a.exe 1 default", 0},
        {"[RunAlways, 2]%ScriptPath%\\a.exe 2 always", 1603},
        {"%ScriptPath%\\missing.exe", 1603},                                // cannot be started
        {"[RunAlways] %ScriptPath%\\a.exe 0 " + std::string(5000, 'x'), 0}, // a long line is read whole
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line.substr(0, 60));
        service.Create();
        ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Kestro\\QMXService\\ScriptCheck");
        ::DeleteFileW((scripts / L"runs.txt").c_str());
        Configure({{"AfterScript", c.line}});
        EXPECT_EQ(Run(RunAfterScripts), c.result);
    }
    EXPECT_EQ(Runs(), Lines{std::string(5000, 'x') + " show=0"}) << "the last, long line ran with all its text";
}

TEST_F(ScriptStageTest, NotWaitedForIsRecordedAtOnce) {
    Configure({{"AfterScript", "[None]%ScriptPath%\\a.exe 1 background"}});
    EXPECT_EQ(Run(RunAfterScripts), 0u);
    EXPECT_EQ(Record(L"a.exe"), ChecksumOf(L"a.exe"));
    for (int i = 0; i < 200 && Runs().empty(); ++i) ::Sleep(25);
    EXPECT_EQ(Runs(), Lines{"background show=0"});
}

TEST_F(ScriptStageTest, BatchFilesRunThroughTheCommandInterpreter) {
    scripts.WriteFile(L"ok.bat", "@echo batch %1>>\"%~dp0runs.txt\"\r\n@exit /b 0\r\n");
    scripts.WriteFile(L"bad.bat", "@echo bad>>\"%~dp0runs.txt\"\r\n@exit /b 3\r\n");
    Configure(
        {{"BeforeScript", "[3]%ScriptPath%\\ok.bat %QmxVersion%"}, {"BeforeScript1", "[3]%ScriptPath%\\bad.bat"}});
    EXPECT_EQ(Run(RunBeforeScripts, L"RunPreLaunchScript"), 1603u);
    EXPECT_EQ(Runs(), (Lines{"batch 6.1.0", "bad"}));
    EXPECT_EQ(Record(L"ok.bat"), ChecksumOf(L"ok.bat"));
    EXPECT_EQ(Record(L"bad.bat"), std::nullopt);
}

TEST_F(ScriptStageTest, NoListMeansNothingToDo) {
    EXPECT_EQ(Run(RunAfterScripts), 0u) << "no QMX.CFG";
    Configure({{"AfterScript1", "%ScriptPath%\\a.exe 0 orphan"}, {"BeforeScript", "%ScriptPath%\\a.exe 0 before"}});
    EXPECT_EQ(Run(RunAfterScripts), 0u) << "no first key for the stage";
    EXPECT_EQ(Runs(), Lines{});
}

// Data without a script folder never reads the configuration at the root of
// the current drive, where an ordinary user may have planted one.
TEST_F(ScriptStageTest, NoScriptFolderNeverReadsTheDriveRoot) {
    wchar_t previous[MAX_PATH] = {};
    ASSERT_GT(::GetCurrentDirectoryW(MAX_PATH, previous), 0u);
    ASSERT_TRUE(::SetCurrentDirectoryW(install.Path().c_str())); // the drive the installer runs on
    wchar_t planted[MAX_PATH] = {};
    ASSERT_GT(::GetFullPathNameW(L"\\QMX.CFG", MAX_PATH, planted, nullptr), 0u);
    ASSERT_EQ(::GetFileAttributesW(planted), INVALID_FILE_ATTRIBUTES) << "nothing of ours at the root before";
    const std::string probe = std::string(scripts.Path().begin(), scripts.Path().end()) + "a.exe 0 planted\r\n";
    const std::string planting = "[Scripts]\r\nBeforeScript=" + probe + "PreLaunchScript=" + probe +
                                 "AfterScript=" + probe + "ErrorScript=" + probe;
    {
        const ih::UniqueFileHandle file(
            ::CreateFileW(planted, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(file);
        DWORD written = 0;
        ASSERT_TRUE(::WriteFile(file.get(), planting.data(), static_cast<DWORD>(planting.size()), &written, nullptr));
    }
    for (const std::wstring& data : {install.Path(), install.Path() + L"\"", install.Path() + L"\"\"\""}) {
        const TestPackage package({{L"CustomActionData", data}, {L"RunPreLaunchScript", data}});
        const HandleCountCheck handles;
        EXPECT_EQ(RunBeforeScripts(package.Handle()), 0u);
        EXPECT_EQ(RunPreLaunchScripts(package.Handle()), 0u);
        EXPECT_EQ(RunAfterScripts(package.Handle()), 0u);
        EXPECT_EQ(RunErrorScripts(package.Handle()), 0u);
        EXPECT_TRUE(handles.Unchanged());
    }
    EXPECT_EQ(Runs(), Lines{}) << "the planted scripts never ran";
    ::DeleteFileW(planted);
    ::SetCurrentDirectoryW(previous);
}

TEST_F(ScriptStageTest, UnreadableAndEmptyDataPerAction) {
    struct Case {
        const char* action;
        UINT(__stdcall* run)(MSIHANDLE);
        const wchar_t* property;
        UINT unreadableResult;
        std::wstring unreadable;
        std::wstring empty;
    } const cases[] = {
        {"RunBeforeScripts", RunBeforeScripts, L"RunPreLaunchScript", 0,
         L"Error getting RunPreLaunchScript property in RunBeforeScripts",
         L"Empty string returned from GetProperty inside RunBeforeScripts. Fatal error"},
        {"RunPreLaunchScripts", RunPreLaunchScripts, L"CustomActionData", 0,
         L"Error getting CFGPath property in RunPreLaunchScripts",
         L"Empty string returned from GetProperty inside RunPreLaunchScripts. Fatal error"},
        {"RunAfterScripts", RunAfterScripts, L"CustomActionData", 0,
         L"Error getting CFGPath property in RunAfterScripts",
         L"Empty string returned from GetProperty inside RunAfterScripts. Fatal error"},
        {"RunErrorScripts", RunErrorScripts, L"CustomActionData", 1603,
         L"Error getting CFGPath property in RunErrorScripts",
         L"Empty string returned from GetProperty inside RunErrorScripts. Unable to run error script"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.action);
        ::DeleteFileW((temp / L"Kestro Anti-Virus CustomActions Log.txt").c_str());
        const TestPackage empty({{L"OTHER", L"x"}});
        const HandleCountCheck handles;
        EXPECT_EQ(c.run(0), c.unreadableResult);
        EXPECT_EQ(c.run(empty.Handle()), 1603u);
        EXPECT_TRUE(handles.Unchanged());
        EXPECT_EQ(ActionLogEntries(), (std::vector<std::wstring>{c.unreadable, c.empty}));
    }
}

TEST_F(ScriptStageTest, ErrorStageFailsWhenItsScriptFails) {
    Configure({{"ErrorScript", "[5]%ScriptPath%\\a.exe 5 cleanup"}});
    EXPECT_EQ(Run(RunErrorScripts), 1603u);
    EXPECT_EQ(Runs(), Lines{"cleanup show=0"});
}

} // namespace
