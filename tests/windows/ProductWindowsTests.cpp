// CloseQmxMainWindow through its exported entry point, against real windows
// shown by the window host fixture, with the long waits scaled by the clock.

#include "actions/Exports.h"
#include "support/Fixtures.h"
#include "support/HandleCount.h"
#include "support/LogFile.h"
#include "support/TestClock.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using namespace ih::test;

class ProductWindowsTest : public testing::Test {
protected:
    TestFolder temp;
    TemporaryFolderRedirect redirect{temp.Path()};
    const std::wstring report = temp / L"windows.txt";

    // A window host showing `windows` (options and titles, see WindowHost.cpp).
    ChildProcess ShowWindows(const std::wstring& windows) const {
        const std::wstring started = UniqueEventName(L"windows");
        return ChildProcess(
            Quoted(FixturePath(L"window_host.exe")) + L" " + Quoted(report) + L" " + started + L" " + windows, started);
    }
    static UINT Run() {
        const HandleCountCheck handles;
        const UINT result = CloseQmxMainWindow(0);
        EXPECT_TRUE(handles.Unchanged());
        return result;
    }
    // The report's lines once `count` of them are there (or after 10 s).
    std::vector<std::wstring> Reported(std::size_t count) const {
        std::vector<std::wstring> lines;
        for (int i = 0; i < 200 && (lines = ReadLines(report)).size() < count; ++i) ::Sleep(50);
        std::sort(lines.begin(), lines.end());
        return lines;
    }
    static bool WindowExists(const wchar_t* className, const wchar_t* title) {
        return ::FindWindowW(className, title) != nullptr;
    }
};

TEST_F(ProductWindowsTest, MainWindowExitsAndScanWindowsCloseInAnyLetterCase) {
    const ChildProcess host =
        ShowWindows(L"/class=Kestro.MainFrame \"Kestro Anti-Virus\" \"Kestro Anti-Virus Settings\" "
                    L"/class=Kestro.QMX.ScanDlg \"Scan one\" "
                    L"/class=Kestro.QMX.ScanDlgOther \"Not a scan\" /class=IhTestWindowHost \"Kestro Anti-Virus\"");
    // Class names are per process and without regard to case within one, so
    // the other spelling comes from a second process.
    const ChildProcess otherCase = ShowWindows(L"/class=kestro.qmx.SCANDLG \"Scan two\"");
    const RecordingClock clock(50); // a 10 s pass takes 200 ms
    EXPECT_EQ(Run(), 0u);

    EXPECT_FALSE(WindowExists(L"Kestro.QMX.ScanDlg", L"Scan one"));
    EXPECT_FALSE(WindowExists(nullptr, L"Scan two"));
    EXPECT_EQ(Reported(3), (std::vector<std::wstring>{L"command 57665 Kestro Anti-Virus", L"progress-close Scan one",
                                                      L"progress-close Scan two"}))
        << "only the main window by class and title, only the scan windows by class";
    EXPECT_TRUE(WindowExists(L"Kestro.MainFrame", L"Kestro Anti-Virus Settings"));
    EXPECT_TRUE(WindowExists(L"Kestro.QMX.ScanDlgOther", L"Not a scan"));
    ASSERT_GE(clock.sleeps.size(), 3u);
    EXPECT_EQ(clock.sleeps.front(), 500u);
    EXPECT_LT(std::count(clock.sleeps.begin(), clock.sleeps.end(), 10000u), 30) << "the wait ends when both are gone";
    EXPECT_EQ(std::vector<DWORD>(clock.sleeps.end() - 2, clock.sleeps.end()), (std::vector<DWORD>{100, 100}))
        << "the last pass finds both windows gone";
    EXPECT_EQ(ActionLogBytes(), "") << "the action does not log";
}

TEST_F(ProductWindowsTest, AScanWindowThatStaysIsWaitedForThirtyPasses) {
    const ChildProcess host = ShowWindows(L"/class=Kestro.QMX.ScanDlg \"Closes\" /ignore-close \"Stays\"");
    const RecordingClock clock; // 300 s of waiting pass in 300 ms
    EXPECT_EQ(Run(), 0u);
    EXPECT_EQ(Reported(2), (std::vector<std::wstring>{L"progress-close Closes", L"progress-close Stays"}));
    EXPECT_TRUE(WindowExists(L"Kestro.QMX.ScanDlg", L"Stays")) << "left open";
    ASSERT_FALSE(clock.sleeps.empty());
    EXPECT_EQ(clock.sleeps.front(), 500u);
    EXPECT_EQ(std::count(clock.sleeps.begin(), clock.sleeps.end(), 10000u), 30);
    for (const DWORD sleep : clock.sleeps) EXPECT_TRUE(sleep == 500 || sleep == 10000 || sleep == 100) << sleep;
}

TEST_F(ProductWindowsTest, AHungMainWindowDoesNotHoldUpTheInstallation) {
    const ChildProcess host = ShowWindows(L"/class=Kestro.MainFrame /hang-on-exit \"Kestro Anti-Virus\"");
    const RecordingClock clock;
    EXPECT_EQ(Run(), 0u) << "the exit command is sent with a bound";
    EXPECT_EQ(Reported(1), std::vector<std::wstring>{L"command 57665 Kestro Anti-Virus"});
    EXPECT_EQ(clock.sleeps, std::vector<DWORD>{500}) << "no scan window to wait for";
}

TEST_F(ProductWindowsTest, WithoutWindowsOnlyThePause) {
    const RecordingClock clock;
    EXPECT_EQ(Run(), 0u);
    EXPECT_EQ(clock.sleeps, std::vector<DWORD>{500});
    EXPECT_EQ(ActionLogBytes(), "");
}

} // namespace
