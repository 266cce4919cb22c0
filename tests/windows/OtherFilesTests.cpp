// CopyOtherFiles and UpdateQmxAdapterDll through their exported entry points,
// with real installation handles.

#include "actions/Exports.h"
#include "support/HandleCount.h"
#include "support/LogFile.h"
#include "support/TestClock.h"
#include "support/TestFolder.h"
#include "support/TestPackage.h"
#include "support/TestRegistry.h"

#include <gtest/gtest.h>

namespace {

using namespace ih::test;

class OtherFilesTest : public testing::Test {
protected:
    TestFolder temp;
    TemporaryFolderRedirect redirect{temp.Path()};
    TestFolder source;
    TestFolder install;

    // A source folder laid out as the installation media has it, with decoys
    // that must not be copied.
    void LayOutSource(bool withConfiguration = true) const {
        source.WriteFile(L"cidsync.upd", "catalogue");
        source.WriteFile(L"WinXP_i386\\QMXONACCESSDRIV.INF", "driver description");
        if (withConfiguration) source.WriteFile(L"qmxconf.xml", "<configuration/>");
        source.WriteFile(L"ConfigureQMX.exe", "configuration program");
        source.WriteFile(L"QMXONACCESSDRIV.INF", "wrong folder");
        source.WriteFile(L"other.txt", "not copied");
    }
};

TEST_F(OtherFilesTest, CopiesTheFourFilesWhateverTheDelimitersAndSeparators) {
    LayOutSource();
    std::wstring installFolder = install.Path(), sourceFolder = source.Path();
    installFolder.pop_back(); // without trailing backslashes
    sourceFolder.pop_back();
    const std::wstring datas[] = {
        installFolder + L"\"" + sourceFolder,
        install.Path() + L"\"" + source.Path(),
        L"\"\"" + installFolder + L"\"\"\"" + source.Path() + L"\"",
    };
    for (const std::wstring& data : datas) {
        RemoveTree(install.Path());
        ::CreateDirectoryW(install.Path().c_str(), nullptr);
        const TestPackage package = PackageWithActionData(data);
        const HandleCountCheck handles;
        EXPECT_EQ(CopyOtherFiles(package.Handle()), 0u);
        EXPECT_TRUE(handles.Unchanged());
        EXPECT_EQ(ReadWholeFile(install / L"cidsync.upd"), "catalogue");
        EXPECT_EQ(ReadWholeFile(install / L"QMXONACCESSDRIV.INF"), "driver description")
            << "taken from WinXP_i386 only, landing directly in the installation folder";
        EXPECT_EQ(ReadWholeFile(install / L"qmxconf.xml"), "<configuration/>");
        EXPECT_EQ(ReadWholeFile(install / L"ConfigureQMX.exe"), "configuration program");
        EXPECT_FALSE(FileExists(install / L"other.txt"));
        EXPECT_FALSE(FileExists(install / L"WinXP_i386"));
    }
    EXPECT_EQ(ActionLogBytes(), "") << "a successful copy logs nothing";
}

TEST_F(OtherFilesTest, MissingFilesAreSkippedAndReadOnlyTargetsReplaced) {
    LayOutSource(/*withConfiguration=*/false);
    install.WriteFile(L"cidsync.upd", "old catalogue");
    ASSERT_TRUE(::SetFileAttributesW((install / L"cidsync.upd").c_str(), FILE_ATTRIBUTE_READONLY));
    const TestPackage package = PackageWithActionData(install.Path() + L"\"" + source.Path());
    const HandleCountCheck handles;
    EXPECT_EQ(CopyOtherFiles(package.Handle()), 0u);
    EXPECT_TRUE(handles.Unchanged());
    EXPECT_EQ(ReadWholeFile(install / L"cidsync.upd"), "catalogue");
    EXPECT_EQ(ReadWholeFile(install / L"ConfigureQMX.exe"), "configuration program");
    EXPECT_EQ(ReadWholeFile(install / L"QMXONACCESSDRIV.INF"), "driver description");
    EXPECT_FALSE(FileExists(install / L"qmxconf.xml"));
}

TEST_F(OtherFilesTest, BadActionDataIsFatalWithItsLogLine) {
    const std::wstring unusable =
        L"CopyOtherFiles custom action data was empty - unable to determine SOURCEDIR or INSTALLDIR";
    struct Case {
        const char* what;
        std::wstring data;
        std::wstring line;
    } const cases[] = {
        {"undefined", L"", L"Empty string returned from GetProperty inside CopyOtherFiles. Fatal error"},
        {"one field", L"C:\\Program Files\\Kestro", unusable},
        {"one field and delimiters", L"\"\"C:\\Program Files\\Kestro\"\"", unusable},
        {"only delimiters", L"\"\"\"\"\"", unusable},
        {"thousands of characters", std::wstring(40000, L'p'), unusable},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ::DeleteFileW((temp / L"Kestro Anti-Virus CustomActions Log.txt").c_str());
        const TestPackage package = PackageWithActionData(c.data);
        const HandleCountCheck handles;
        EXPECT_EQ(CopyOtherFiles(package.Handle()), 1603u);
        EXPECT_TRUE(handles.Unchanged());
        EXPECT_EQ(ActionLogEntries(), std::vector<std::wstring>{c.line});
    }
}

TEST_F(OtherFilesTest, UnreadableActionDataIsFatal) {
    const HandleCountCheck handles;
    EXPECT_EQ(CopyOtherFiles(0), 1603u);
    EXPECT_TRUE(handles.Unchanged());
    EXPECT_EQ(ActionLogEntries(), std::vector<std::wstring>{L"Error getting CopyOtherFiles CustomActionData"});
}

// HKLM\Software\Kestro\Corvane\ManagementAgent\Adapters, as the agent keeps it.
class AdapterTest : public testing::Test {
protected:
    TestFolder temp;
    TemporaryFolderRedirect redirect{temp.Path()};
    ScopedRegistryTree corvane{HKEY_LOCAL_MACHINE, L"Software\\Kestro\\Corvane"};
    const std::wstring adapters = L"ManagementAgent\\Adapters";
    RecordingClock clock;

    UINT Run() {
        const TestPackage package;
        const HandleCountCheck handles;
        const UINT result = UpdateQmxAdapterDll(package.Handle());
        EXPECT_TRUE(handles.Unchanged());
        EXPECT_EQ(clock.sleeps, std::vector<DWORD>{10000}) << "pauses 10 s whatever happened";
        EXPECT_EQ(ActionLogBytes(), "");
        return result;
    }
};

TEST_F(AdapterTest, RemovesTheAdapterRegistration) {
    corvane.Create(adapters + L"\\QMX");
    corvane.Create(adapters + L"\\OtherProduct");
    EXPECT_EQ(Run(), 0u);
    EXPECT_FALSE(corvane.Exists(adapters + L"\\QMX"));
    EXPECT_TRUE(corvane.Exists(adapters + L"\\OtherProduct"));
}

TEST_F(AdapterTest, LeavesARegistrationThatHasSubkeys) {
    corvane.Create(adapters + L"\\QMX\\Settings");
    EXPECT_EQ(Run(), 0u);
    EXPECT_TRUE(corvane.Exists(adapters + L"\\QMX\\Settings"));
}

TEST_F(AdapterTest, WithoutTheAgentOnlyWaits) {
    EXPECT_EQ(Run(), 0u);
    corvane.Create(adapters + L"\\QMX");
    clock.sleeps.clear();
    UpdateQmxAdapterDll(0); // the installation handle is not used: the work is done all the same
    EXPECT_FALSE(corvane.Exists(adapters + L"\\QMX"));
    EXPECT_EQ(clock.sleeps, std::vector<DWORD>{10000});
}

} // namespace
