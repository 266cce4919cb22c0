// The frame's one way to start a program and wait for it, with real
// processes: the start-up record each window mode asks for, the exit code,
// start errors, and waits that go through the clock.

#include "frame/HResult.h"
#include "frame/Process.h"
#include "support/Fixtures.h"
#include "support/HandleCount.h"
#include "support/TestClock.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>

namespace {

using namespace ih::test;

class ProcessTest : public testing::Test {
protected:
    TestFolder folder;
    std::wstring probe = folder / L"probe.exe";

    void SetUp() override { ASSERT_TRUE(::CopyFileW(FixturePath(L"ScriptProbe.exe").c_str(), probe.c_str(), FALSE)); }

    // The probe's lines: "<tag> show=<mode>", -1 when no show mode was asked for.
    std::vector<std::wstring> Runs() const { return ReadLines(folder / L"runs.txt"); }
};

TEST_F(ProcessTest, EachWindowModeReachesTheProgramAndTheExitCodeComesBack) {
    struct Case {
        ih::ProcessWindow window;
        const wchar_t* tag;
        DWORD exitCode;
    } const cases[] = {
        {ih::ProcessWindow::Default, L"default", 0},
        {ih::ProcessWindow::Shown, L"shown", 3},
        {ih::ProcessWindow::Hidden, L"hidden", 7},
    };
    const HandleCountCheck handles;
    for (const auto& c : cases) {
        // Leading spaces, as a configured line leaves them, are not passed on.
        const std::wstring line = L"   " + Quoted(probe) + L" " + std::to_wstring(c.exitCode) + L" " + c.tag;
        ih::StartedProcess started;
        ASSERT_EQ(ih::StartProcess(line, c.window, started), 0u) << c.tag;
        ASSERT_TRUE(started.process && started.thread) << c.tag;
        EXPECT_EQ(ih::WaitForProcess(started, 20000), WAIT_OBJECT_0) << c.tag;
        DWORD exitCode = STILL_ACTIVE;
        ASSERT_TRUE(::GetExitCodeProcess(started.process.get(), &exitCode));
        EXPECT_EQ(exitCode, c.exitCode) << c.tag;
    }
    EXPECT_TRUE(handles.Unchanged()) << "both handles of every process are closed";
    EXPECT_EQ(Runs(), (std::vector<std::wstring>{L"default show=-1", L"shown show=5", L"hidden show=0"}));
}

TEST_F(ProcessTest, AProgramThatCannotStartGivesTheSystemsErrorAndNoHandles) {
    ih::StartedProcess started;
    EXPECT_EQ(ih::StartProcess(Quoted(folder / L"missing.exe"), ih::ProcessWindow::Hidden, started),
              static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(started.process);
    EXPECT_FALSE(started.thread);
}

TEST_F(ProcessTest, RunAndWaitWaitsThroughTheClockWithTheBoundGiven) {
    PatientClock clock;
    const HandleCountCheck handles;
    EXPECT_EQ(ih::RunAndWait(Quoted(probe) + L" 9 bounded", 300000), S_OK) << "the exit code is not a result";
    EXPECT_EQ(ih::RunAndWait(Quoted(folder / L"missing.exe") + L" -x", 300000),
              ih::HResultFromWin32(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(handles.Unchanged());
    EXPECT_EQ(Runs(), std::vector<std::wstring>{L"bounded show=-1"});
    EXPECT_EQ(clock.waits, std::vector<DWORD>{300000}) << "one wait, for the process that started";
}

} // namespace
