// The frame against a real installer: the property protocol, installer
// messages, field splitting in the Windows build, and the shared file and
// registry operations.

#include "frame/ActionGuard.h"
#include "frame/Fields.h"
#include "frame/FileOperations.h"
#include "frame/HResult.h"
#include "frame/Installer.h"
#include "frame/LibraryEntry.h"
#include "frame/Registry.h"
#include "support/HandleCount.h"
#include "support/LogFile.h"
#include "support/TestFolder.h"
#include "support/TestPackage.h"
#include "support/TestRegistry.h"

#include <gtest/gtest.h>

namespace {

using namespace ih::test;

TEST(GetInstallerProperty, ReadsValuesOfEveryLengthAndUndefinedAsEmpty) {
    const std::wstring longValue(20000, L'v');
    const TestPackage package({{L"ONE", L"x"}, {L"LONG", longValue}, {L"QUOTED", L"C:\\a\"D:\\b \x20AC"}});
    struct Case {
        const wchar_t* name;
        std::wstring expected;
    } const cases[] = {
        {L"ONE", L"x"},
        {L"LONG", longValue},
        {L"QUOTED", L"C:\\a\"D:\\b \x20AC"},
        {L"UNDEFINED", L""},
    };
    for (const auto& c : cases) {
        std::wstring value = L"left over";
        EXPECT_EQ(ih::GetInstallerProperty(package.Handle(), value, c.name), 0u) << c.name;
        EXPECT_EQ(value, c.expected) << c.name;
    }
}

TEST(GetInstallerProperty, InvalidHandleFails) {
    std::wstring value;
    EXPECT_EQ(ih::GetInstallerProperty(0, value, L"CustomActionData"), 1603u);
    EXPECT_EQ(ih::GetInstallerProperty(0xDEAD, value, L"CustomActionData"), 1603u);
}

TEST(PostInstallerMessage, PostsNumberAndGivenFieldsAsErrorOrWarning) {
    const TestPackage package;
    MessageRecorder recorder;
    EXPECT_EQ(ih::PostInstallerMessage(package.Handle(), 3000, false), S_OK);
    EXPECT_EQ(ih::PostInstallerMessage(package.Handle(), 3002, true, L"two", nullptr, L"four"), S_OK);

    ASSERT_EQ(recorder.Messages().size(), 2u);
    const PostedMessage& error = recorder.Messages()[0];
    EXPECT_EQ(error.type, INSTALLMESSAGE_ERROR);
    EXPECT_EQ(error.number, 3000);
    EXPECT_TRUE(error.isNull[0] && error.isNull[1] && error.isNull[2]);

    const PostedMessage& warning = recorder.Messages()[1];
    EXPECT_EQ(warning.type, INSTALLMESSAGE_WARNING);
    EXPECT_EQ(warning.number, 3002);
    EXPECT_EQ(warning.fields[0], L"two");
    EXPECT_TRUE(warning.isNull[1]);
    EXPECT_EQ(warning.fields[2], L"four");
}

TEST(NextField, WindowsBuildSplitsActionData) {
    std::int32_t position = 0;
    const std::wstring data = L"\"C:\\Program Files\\Kestro\\\"\"D:\\Source\"";
    EXPECT_EQ(ih::NextField(data, ih::kFieldDelimiters, position), L"C:\\Program Files\\Kestro\\");
    EXPECT_EQ(ih::NextField(data, ih::kFieldDelimiters, position), L"D:\\Source");
    EXPECT_EQ(ih::NextField(data, ih::kFieldDelimiters, position), L"");
    EXPECT_EQ(position, -1);
}

TEST(HResultFromWin32, AgreesWithThePlatformMacro) {
    for (DWORD error : {0ul, 2ul, 5ul, 32ul, 1332ul, 1603ul}) {
        EXPECT_EQ(ih::HResultFromWin32(static_cast<std::int32_t>(error)), HRESULT_FROM_WIN32(error)) << error;
    }
}

TEST(CopyMatchingFiles, CopiesEveryMatchOverwritingReadOnlyTargets) {
    const TestFolder source, target;
    source.WriteFile(L"a.dat", "new a");
    source.WriteFile(L"b.dat", "new b");
    source.WriteFile(L"c.txt", "not matched");
    target.WriteFile(L"a.dat", "old a");
    ASSERT_TRUE(::SetFileAttributesW((target / L"a.dat").c_str(), FILE_ATTRIBUTE_READONLY));

    const HandleCountCheck handles;
    EXPECT_EQ(ih::CopyMatchingFiles(source / L"*.dat", target.Path(), source.Path()), 0u);
    EXPECT_TRUE(handles.Unchanged());

    EXPECT_EQ(ReadWholeFile(target / L"a.dat"), "new a");
    EXPECT_EQ(ReadWholeFile(target / L"b.dat"), "new b");
    EXPECT_FALSE(FileExists(target / L"c.txt"));
}

TEST(CopyMatchingFiles, NothingToCopyOrNowhereToCopyIsNotAnError) {
    const TestFolder source, target;
    source.WriteFile(L"a.dat", "a");
    const HandleCountCheck handles;
    EXPECT_EQ(ih::CopyMatchingFiles(source / L"*.none", target.Path(), source.Path()), 0u);
    EXPECT_EQ(ih::CopyMatchingFiles(source / L"missing\\*.dat", target.Path(), source / L"missing\\"), 0u);
    EXPECT_EQ(ih::CopyMatchingFiles(source / L"a.dat", target / L"no such folder\\", source.Path()), 0u);
    EXPECT_TRUE(handles.Unchanged());
    EXPECT_FALSE(FileExists(target / L"a.dat"));
    EXPECT_FALSE(FileExists(target / L"no such folder\\a.dat"));
}

TEST(CopyMatchingFiles, PrefixesAreJoinedWithoutASeparator) {
    const TestFolder source, target;
    source.WriteFile(L"x.dat", "x");
    EXPECT_EQ(ih::CopyMatchingFiles(source / L"x.dat", target / L"copy-of-", source.Path()), 0u);
    EXPECT_EQ(ReadWholeFile(target / L"copy-of-x.dat"), "x");
}

constexpr const wchar_t* kTestRoot = L"Software\\KestroTests\\Frame";

TEST(RegistryKey, OpenKeepsThePreviousKeyOnFailure) {
    const ScopedRegistryTree tree(HKEY_CURRENT_USER, kTestRoot);
    tree.Create(L"First");
    const HandleCountCheck handles;
    {
        ih::RegistryKey key;
        ASSERT_EQ(ih::OpenRegistryKey(key, HKEY_CURRENT_USER, tree.Path(L"First"), KEY_READ), 0);
        const HKEY first = key.get();
        EXPECT_EQ(ih::OpenRegistryKey(key, HKEY_CURRENT_USER, tree.Path(L"Missing"), KEY_READ), ERROR_FILE_NOT_FOUND);
        EXPECT_EQ(key.get(), first);
        ASSERT_EQ(ih::OpenRegistryKey(key, HKEY_CURRENT_USER, tree.Path(), KEY_READ), 0);
        EXPECT_NE(key.get(), first);
        key.reset();
        EXPECT_FALSE(key);
    }
    EXPECT_TRUE(handles.Unchanged());
}

TEST(ReadRegistryDword, ReadsOnlyAFourByteDword) {
    const ScopedRegistryTree tree(HKEY_CURRENT_USER, kTestRoot);
    tree.Create(L"Values");
    ih::RegistryKey key;
    ASSERT_EQ(ih::OpenRegistryKey(key, HKEY_CURRENT_USER, tree.Path(L"Values"), KEY_READ | KEY_SET_VALUE), 0);
    const DWORD number = 0x80000010;
    const BYTE shortDword[2] = {1, 0};
    ASSERT_EQ(::RegSetValueExW(key.get(), L"Dword", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4), 0);
    ASSERT_EQ(::RegSetValueExW(key.get(), L"Short", 0, REG_DWORD, shortDword, 2), 0);
    ASSERT_EQ(::RegSetValueExW(key.get(), L"Binary", 0, REG_BINARY, reinterpret_cast<const BYTE*>(&number), 4), 0);
    ASSERT_EQ(::RegSetValueExW(key.get(), L"Text", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"16"), 6), 0);
    ASSERT_EQ(::RegSetValueExW(key.get(), nullptr, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4), 0);

    struct Case {
        const wchar_t* name;
        LONG result;
    } const cases[] = {
        {L"Dword", ERROR_SUCCESS},          {L"", ERROR_SUCCESS}, // the key's default value
        {L"Short", ERROR_INVALID_DATATYPE}, {L"Binary", ERROR_INVALID_DATATYPE},
        {L"Text", ERROR_MORE_DATA},         {L"Missing", ERROR_FILE_NOT_FOUND},
    };
    const HandleCountCheck handles;
    for (const auto& c : cases) {
        DWORD value = 7;
        EXPECT_EQ(ih::ReadRegistryDword(key.get(), c.name, value), c.result) << c.name;
        EXPECT_EQ(value, c.result == ERROR_SUCCESS ? number : 7u) << c.name << ": untouched unless read";
    }
    EXPECT_TRUE(handles.Unchanged());
}

TEST(FindLoadedEntry, FindsFunctionsOfLoadedSystemLibrariesOnly) {
    using GetTickCountFunction = DWORD(WINAPI*)();
    const auto getTickCount = ih::FindLoadedEntry<GetTickCountFunction>(L"KERNEL32.DLL", "GetTickCount");
    ASSERT_NE(getTickCount, nullptr);
    EXPECT_EQ(reinterpret_cast<void*>(getTickCount), reinterpret_cast<void*>(&::GetTickCount));
    EXPECT_EQ(ih::FindLoadedEntry(L"KERNEL32.DLL", "NoSuchFunctionAnywhere"), nullptr);
    EXPECT_EQ(ih::FindLoadedEntry(L"NOTLOADED.DLL", "GetTickCount"), nullptr) << "nothing is loaded";
    EXPECT_EQ(::GetModuleHandleW(L"NOTLOADED.DLL"), nullptr);
}

TEST(DeleteKeyTree, RemovesNestedSubkeysDepthFirst) {
    const ScopedRegistryTree tree(HKEY_CURRENT_USER, kTestRoot);
    for (const wchar_t* path : {L"Top\\A\\A1\\A2", L"Top\\A\\A3", L"Top\\B", L"Top\\C\\C1", L"Keep"}) tree.Create(path);
    {
        HKEY key = nullptr;
        ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, tree.Path(L"Top").c_str(), 0, KEY_SET_VALUE, &key), 0);
        ::RegSetValueExW(key, L"Value", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"v"), 4);
        ::RegCloseKey(key);
    }
    const HandleCountCheck handles;
    EXPECT_EQ(ih::DeleteKeyTree(HKEY_CURRENT_USER, tree.Path(L"Top")), 0);
    EXPECT_TRUE(handles.Unchanged());
    EXPECT_FALSE(tree.Exists(L"Top"));
    EXPECT_TRUE(tree.Exists(L"Keep"));
    EXPECT_EQ(ih::DeleteKeyTree(HKEY_CURRENT_USER, tree.Path(L"Top")), ERROR_FILE_NOT_FOUND);
}

} // namespace

namespace {

using namespace ih::test;

TEST(GuardAction, TurnsAnEscapedErrorIntoTheFailureResultWithOneLogLine) {
    const TestFolder temp;
    const TemporaryFolderRedirect redirect(temp.Path());
    EXPECT_EQ(ih::GuardAction(L"SomeAction", 1603, []() -> UINT { throw std::bad_alloc(); }), 1603u);
    EXPECT_EQ(ih::GuardAction(L"OtherAction", 0, []() -> UINT { throw 42; }), 0u);
    EXPECT_EQ(ih::GuardAction(L"QuietAction", 1603, []() -> UINT { return 0; }), 0u);
    EXPECT_EQ(ActionLogEntries(), (std::vector<std::wstring>{L"SomeAction ended early: out of memory",
                                                             L"OtherAction ended early: unexpected internal error"}));
}

} // namespace
