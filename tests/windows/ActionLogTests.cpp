// The shared action log's exact bytes, and the actions' results when it
// cannot be written.

#include "actions/Exports.h"
#include "frame/ActionLog.h"
#include "support/LogFile.h"
#include "support/TestFolder.h"
#include "support/TestPackage.h"

#include <gtest/gtest.h>

namespace {

using namespace ih::test;

// Every test here gets a temporary folder, and so a log file, of its own.
class ActionLogTest : public testing::Test {
protected:
    TestFolder temp;
    TemporaryFolderRedirect redirect{temp.Path()};
};

std::string Utf16(std::wstring_view text) {
    std::string bytes;
    for (wchar_t unit : text) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>((unit >> 8) & 0xFF));
    }
    return bytes;
}

TEST_F(ActionLogTest, LivesInTheTemporaryFolderUnderItsFixedName) {
    // The test's own temporary folder (ASCII, ending in a backslash), then the
    // log's separator and name: two backslashes, as the log has always had.
    std::string folder;
    for (wchar_t ch : temp.Path()) folder.push_back(static_cast<char>(ch));
    ASSERT_EQ(folder.back(), '\\');
    EXPECT_EQ(ih::ActionLog().Path(), folder + "\\Kestro Anti-Virus CustomActions Log.txt");
}

TEST_F(ActionLogTest, NewFileStartsWithTheFirstEntryAndEntriesEndInCrLf) {
    const ih::ActionLog log;
    log.Write(L"AB");
    EXPECT_EQ(ActionLogBytes(), std::string("A\0B\0\r\0\n\0", 8)) << "no byte-order mark, UTF-16LE, CR LF";

    log.Write(L"");
    EXPECT_EQ(ActionLogBytes().size(), 12u) << "an empty message is an entry of 4 bytes";

    log.Write(L"%s: %d%%, code %ld, \x20AC", std::wstring(L"C:\\dir\\file"), -3, 1603L);
    log.WriteText(L"kept 100% %s %d");
    EXPECT_EQ(ActionLogBytes(), Utf16(L"AB\r\n\r\nC:\\dir\\file: -3%, code 1603, \x20AC\r\nkept 100% %s %d\r\n"));
}

TEST_F(ActionLogTest, AppendsToWhatIsThereAndEachActionFollowsTheLast) {
    temp.WriteFile(L"Kestro Anti-Virus CustomActions Log.txt", Utf16(L"earlier\r\n"));
    const TestPackage empty = PackageWithActionData(L"");
    const TestPackage oneField = PackageWithActionData(L"C:\\only");
    EXPECT_EQ(CopyOtherFiles(empty.Handle()), 1603u);
    EXPECT_EQ(CopyOtherFiles(oneField.Handle()), 1603u);
    EXPECT_EQ(ActionLogEntries(),
              (std::vector<std::wstring>{
                  L"earlier", L"Empty string returned from GetProperty inside CopyOtherFiles. Fatal error",
                  L"CopyOtherFiles custom action data was empty - unable to determine SOURCEDIR or INSTALLDIR"}));
}

TEST_F(ActionLogTest, EntryIsWrittenWhileAnotherHandleHoldsTheFileOpen) {
    ih::ActionLog().Write(L"first");
    const std::wstring path = temp / L"Kestro Anti-Virus CustomActions Log.txt";
    HANDLE reader = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    ih::ActionLog().Write(L"second");
    ::CloseHandle(reader);
    EXPECT_EQ(ActionLogEntries(), (std::vector<std::wstring>{L"first", L"second"}));
}

TEST(SystemErrorText, IsTheSystemTextWithItsLineBreak) {
    const std::wstring text = ih::ActionLog::SystemErrorText(ERROR_FILE_NOT_FOUND);
    ASSERT_GE(text.size(), 2u);
    EXPECT_EQ(text.substr(text.size() - 2), L"\r\n");
    wchar_t expected[512] = {};
    ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_FILE_NOT_FOUND, 0x0400,
                     expected, 512, nullptr);
    EXPECT_EQ(text, expected);
    EXPECT_EQ(ih::ActionLog::SystemErrorText(0x3FFFFFF0), L"") << "a code the system does not know";
}

// With a temporary folder that cannot be written, or cannot be found, the
// actions return exactly what they would have returned otherwise.
TEST(UnwritableTemporaryFolder, LeavesActionResultsUnchanged) {
    const TestFolder work;
    work.WriteFile(L"not-a-folder", "a file where the temporary folder should be");
    work.WriteFile(L"source\\cidsync.upd", "catalogue");
    const std::wstring unusable[] = {work / L"missing\\folder\\", work / L"not-a-folder\\", std::wstring(300, L'x')};
    for (const std::wstring& folder : unusable) {
        // The installer itself needs a temporary folder to open a package.
        const TestPackage bad = PackageWithActionData(L"\"\"");
        const TestFolder install;
        const TestPackage good = PackageWithActionData(install.Path() + L"\"" + (work / L"source"));
        const TemporaryFolderRedirect redirect(folder);
        EXPECT_EQ(CopyOtherFiles(bad.Handle()), 1603u);
        EXPECT_EQ(CopyOtherFiles(good.Handle()), 0u);
        EXPECT_EQ(ReadWholeFile(install / L"cidsync.upd"), "catalogue");
        EXPECT_TRUE(ActionLogBytes().empty());
    }
}

} // namespace
