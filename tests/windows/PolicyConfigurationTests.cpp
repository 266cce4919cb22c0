// ConfigureQMX through its exported entry point: the configuration program is
// a fixture copied into the installation folder that records its command line.

#include "actions/Exports.h"
#include "frame/ActionLog.h"
#include "support/Fixtures.h"
#include "support/HandleCount.h"
#include "support/LogFile.h"
#include "support/TestClock.h"
#include "support/TestFolder.h"
#include "support/TestPackage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace ih::test;

class PolicyConfigurationTest : public testing::Test {
protected:
    TestFolder temp;
    TemporaryFolderRedirect redirect{temp.Path()};
    TestFolder install;
    const std::wstring program = install / L"ConfigureQMX.exe";
    const std::wstring calls = install / L"ConfigureQMX-called.txt";

    void InstallProgram(const char* behaviour) const {
        ASSERT_TRUE(::CopyFileW(FixturePath(L"classic_setup.exe").c_str(), program.c_str(), FALSE));
        install.WriteFile(L"behaviour.txt", behaviour);
    }
    static UINT Run(const std::wstring& data) {
        const TestPackage package = PackageWithActionData(data);
        const HandleCountCheck handles;
        const UINT result = ConfigureQMX(package.Handle());
        EXPECT_TRUE(handles.Unchanged());
        return result;
    }
};

TEST_F(PolicyConfigurationTest, RunsTheProgramOnTheFolderAndDeletesIt) {
    std::wstring bare = install.Path();
    bare.pop_back();
    // The folder is used as given: with its separator the program's path has
    // a doubled one and the folder argument ends in a backslash, as the
    // program has always been given them.
    const struct {
        std::wstring folder;
        std::wstring commandLine;
    } cases[] = {
        {install.Path(), L"\"" + install.Path() + L"\\ConfigureQMX.exe\" \"" + install.Path() + L"\""},
        {bare, L"\"" + bare + L"\\ConfigureQMX.exe\" \"" + bare + L"\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder);
        ::DeleteFileW((temp / L"Kestro Anti-Virus CustomActions Log.txt").c_str());
        ::DeleteFileW(calls.c_str());
        InstallProgram("leave");
        install.WriteFile(L"qmxconf.xml", "<policy/>");
        const RecordingClock clock(1); // waits for real: the program ends at once
        EXPECT_EQ(Run(c.folder), 0u);
        EXPECT_EQ(clock.waits, std::vector<DWORD>{30000});
        EXPECT_EQ(ReadLines(calls), std::vector<std::wstring>{c.commandLine});
        EXPECT_FALSE(FileExists(program));
        EXPECT_TRUE(FileExists(install / L"qmxconf.xml")) << "the policy file is the program's to use";
        EXPECT_EQ(ActionLogEntries(), std::vector<std::wstring>{L"Attempting to delete file: " + program});
    }
}

TEST_F(PolicyConfigurationTest, WithoutThePolicyFileNothingIsStarted) {
    InstallProgram("leave");
    const RecordingClock clock;
    EXPECT_EQ(Run(install.Path()), 0u);
    EXPECT_TRUE(clock.waits.empty());
    EXPECT_FALSE(FileExists(calls));
    EXPECT_TRUE(FileExists(program));
    EXPECT_EQ(ActionLogEntries(),
              std::vector<std::wstring>{L"Error opening the QMX policy files: 2. Unable to apply policy"});
}

TEST_F(PolicyConfigurationTest, AProgramStillRunningAfterTheBoundIsLeftAndReported) {
    const std::wstring done = UniqueEventName(L"configure");
    const ih::UniqueHandle finish(::CreateEventW(nullptr, TRUE, FALSE, done.c_str()));
    std::string behaviour = "wait ";
    for (const wchar_t c : done) behaviour.push_back(static_cast<char>(c));
    InstallProgram(behaviour.c_str());
    install.WriteFile(L"qmxconf.xml", "<policy/>");
    {
        const RecordingClock clock; // the 30 s bound passes in 30 ms
        EXPECT_EQ(Run(install.Path()), 0u);
        EXPECT_EQ(clock.waits, std::vector<DWORD>{30000});
    }
    ::SetEvent(finish.get());
    const std::vector<std::wstring> entries = ActionLogEntries();
    ASSERT_GE(entries.size(), 2u);
    EXPECT_EQ(entries[0], L"Attempting to delete file: " + program);
    EXPECT_EQ(entries[1].rfind(L"Error deleting file: " + program + L" with error: ", 0), 0u) << entries[1];
    EXPECT_TRUE(FileExists(program)) << "a running program cannot be deleted";
    // Let the program end before its folder is removed.
    for (int i = 0; i < 100 && !::DeleteFileW(program.c_str()); ++i) ::Sleep(100);
}

TEST_F(PolicyConfigurationTest, MissingProgramAndBadDataAreNotFatal) {
    install.WriteFile(L"qmxconf.xml", "<policy/>");
    {
        const RecordingClock clock;
        EXPECT_EQ(Run(install.Path()), 0u) << "a program that does not start is not reported";
        EXPECT_TRUE(clock.waits.empty());
        EXPECT_EQ(ActionLogBytes(), "");
    }
    EXPECT_EQ(Run(L""), 0u);
    EXPECT_EQ(ActionLogEntries(),
              std::vector<std::wstring>{
                  L"Empty string returned from GetProperty inside ConfigureQMX - unable to apply policy"});
    ::DeleteFileW((temp / L"Kestro Anti-Virus CustomActions Log.txt").c_str());
    const HandleCountCheck handles;
    EXPECT_EQ(ConfigureQMX(0), 0u);
    EXPECT_TRUE(handles.Unchanged());
    EXPECT_EQ(ActionLogEntries(), std::vector<std::wstring>{L"Error getting CustomActionData inside ConfigureQMX"});
}

} // namespace
