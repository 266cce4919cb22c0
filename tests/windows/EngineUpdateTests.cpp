// UpdateQMXI and RemoveQMXI through their exported entry points, with real
// installation handles, the test engine library, client processes and a
// process that keeps the installed engine loaded.

#include "actions/Exports.h"
#include "frame/ActionLog.h"
#include "frame/HResult.h"
#include "frame/UniqueFileName.h"
#include "update/EngineHandshake.h"
#include "update/EngineObjects.h"
#include "support/EngineTestSupport.h"
#include "support/HandleCount.h"
#include "support/ProductDll.h"
#include "support/LogFile.h"
#include "support/TestClock.h"
#include "support/TestFolder.h"
#include "support/TestPackage.h"
#include "support/TestRegistry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

namespace {

using namespace ih::test;
using ih::update::Engine;

std::wstring WithoutTrailingBackslash(std::wstring folder) {
    folder.pop_back();
    return folder;
}

TEST(MakeUniqueFileName, CreatesTheFirstFreeNumberedName) {
    TestFolder folder;
    struct Case {
        const char* what;
        std::wstring name;
        std::vector<std::wstring> existing;
        std::wstring expected;
    } const cases[] = {
        {"first candidate", L"QMXI.dll", {}, L"QMXI0.dll"},
        {"next free number", L"QMXI.dll", {L"QMXI0.dll", L"QMXI1.dll", L"QMXI3.dll"}, L"QMXI2.dll"},
        {"no extension", L"README", {L"README0"}, L"README1"},
        {"split at the last dot", L"engine.v2.dll", {}, L"engine.v20.dll"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const std::wstring& name : c.existing) folder.WriteFile(name, "taken");
        std::wstring created;
        const HandleCountCheck handles;
        EXPECT_EQ(ih::MakeUniqueFileName(folder.Path(), c.name, created), 0);
        EXPECT_TRUE(handles.Unchanged());
        EXPECT_EQ(created, folder / c.expected);
        EXPECT_TRUE(FileExists(created));
        EXPECT_EQ(ReadWholeFile(created), "") << "an empty placeholder";
        for (const std::wstring& name : c.existing) EXPECT_EQ(ReadWholeFile(folder / name), "taken");
    }
    std::wstring created = L"unchanged";
    EXPECT_EQ(ih::MakeUniqueFileName(L"", L"QMXI.dll", created), static_cast<std::int32_t>(0x80070057));
    EXPECT_EQ(ih::MakeUniqueFileName(folder.Path(), L"", created), static_cast<std::int32_t>(0x80070057));
    EXPECT_EQ(ih::MakeUniqueFileName(folder / L"Missing\\", L"QMXI.dll", created),
              ih::HResultFromWin32(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(created, L"unchanged");
}

// An installation folder with an installed engine, installation media, the
// clients' key and the engine objects.
class EngineUpdateTest : public testing::Test {
protected:
    void SetUp() override {
        Engine(); // lives as long as the library: built before handle counts are taken
        ::ResetEvent(Engine().CompleteEvent());
    }
    void TearDown() override {
        EXPECT_TRUE(MutexIsFree(names.updateMutex)) << "no action leaves the update mutex owned";
    }

    const ih::update::EngineNames& names = Engine().Names();
    TestFolder temp;
    TemporaryFolderRedirect redirect{temp.Path()};
    TestFolder install;
    TestFolder source;
    EngineCallRecord record{temp};
    ScopedRegistryTree clients{HKEY_LOCAL_MACHINE, L"SOFTWARE\\Kestro\\QMXI"};
    RecordingClock clock;

    void LayOutSource() const {
        PlaceEngine(source / L"QMXI.dll");
        source.WriteFile(L"main.DAT", "data");
        source.WriteFile(L"daily.vdb", "virus data");
        source.WriteFile(L"Zorl.dll", "zorl");
        source.WriteFile(L"KMTQ.dll", "kmtq");
        source.WriteFile(L"engine.IDE", "ide");
        source.WriteFile(L"readme.txt", "not copied");
    }
    std::wstring Data() const { return install.Path() + L"\"" + source.Path(); }

    UINT Update(const std::wstring& data) const {
        const TestPackage package = PackageWithActionData(data);
        const HandleCountCheck handles;
        const UINT result = UpdateQMXI(package.Handle());
        EXPECT_TRUE(handles.Unchanged());
        return result;
    }
    UINT Remove(const std::wstring& data) const {
        const TestPackage package = PackageWithActionData(data);
        const HandleCountCheck handles;
        const UINT result = RemoveQMXI(package.Handle());
        EXPECT_TRUE(handles.Unchanged());
        return result;
    }
    std::vector<std::wstring> HandshakeLines() const {
        return {L"About to wait for event " + names.readyBase, L"Successfully waited for event " + names.readyBase,
                L"About to wait for event " + names.suspendedBase,
                L"Successfully waited for event " + names.suspendedBase};
    }
    std::vector<std::wstring> HandshakeLinesAnd(const std::vector<std::wstring>& more) const {
        std::vector<std::wstring> lines = HandshakeLines();
        lines.insert(lines.end(), more.begin(), more.end());
        return lines;
    }
    void ClearLog() const { ::DeleteFileW((temp / L"Kestro Anti-Virus CustomActions Log.txt").c_str()); }
    ChildProcess HoldLibrary(const std::wstring& path) const {
        const std::wstring started = UniqueEventName(L"library");
        return ChildProcess(Quoted(FixturePath(L"holder.exe")) + L" library " + Quoted(path) + L" " + started, started);
    }
};

TEST_F(EngineUpdateTest, ReplacesTheEngineCopiesItsFilesAndRegistersIt) {
    LayOutSource();
    const std::wstring datas[] = {Data(), WithoutTrailingBackslash(install.Path()) + L"\"" +
                                              WithoutTrailingBackslash(source.Path())};
    for (const std::wstring& data : datas) {
        SCOPED_TRACE(testing::PrintToString(std::string(data.begin(), data.end())));
        ClearLog();
        ::DeleteFileW(record.Path().c_str());
        ::ResetEvent(Engine().CompleteEvent());
        PlaceEngine(install / L"QMXI.dll");
        PlaceEngine(install / L"QMXI7.dll"); // left by an update that found the engine in use
        install.WriteFile(L"QMXIREG.DLL", "registration helper");

        EXPECT_EQ(Update(data), 0u);
        const std::vector<EngineCall> calls = record.Calls();
        ASSERT_EQ(calls.size(), 2u);
        EXPECT_EQ(calls[0].entry, L"DllUnregisterServer");
        EXPECT_EQ(calls[1], (EngineCall{L"DllRegisterServer", L"QMXI.dll"}));
        EXPECT_EQ(ReadWholeFile(install / L"QMXI.dll"), ReadWholeFile(source / L"QMXI.dll"));
        EXPECT_FALSE(FileExists(install / L"QMXI7.dll"));
        EXPECT_EQ(ReadWholeFile(install / L"QMXIREG.DLL"), "registration helper");
        EXPECT_EQ(ReadWholeFile(install / L"main.DAT"), "data");
        EXPECT_EQ(ReadWholeFile(install / L"daily.vdb"), "virus data");
        EXPECT_EQ(ReadWholeFile(install / L"Zorl.dll"), "zorl");
        EXPECT_EQ(ReadWholeFile(install / L"KMTQ.dll"), "kmtq");
        EXPECT_EQ(ReadWholeFile(install / L"engine.IDE"), "ide");
        EXPECT_FALSE(FileExists(install / L"readme.txt"));
        EXPECT_EQ(ActionLogText(), LogTextOf(HandshakeLinesAnd({L"QMXI dll was installed successfully"})));
        EXPECT_TRUE(EventIsSet(names.completeEvent));
        EXPECT_TRUE(MutexIsFree(names.updateMutex));
    }
}

TEST_F(EngineUpdateTest, OptionalFilesMayBeMissingFromTheSource) {
    PlaceEngine(source / L"QMXI.dll");
    EXPECT_EQ(Update(Data()), 0u);
    EXPECT_EQ(record.Calls(), (std::vector<EngineCall>{{L"DllRegisterServer", L"QMXI.dll"}}));
    EXPECT_EQ(ActionLogText(), LogTextOf(HandshakeLinesAnd({L"QMXI dll was installed successfully"})));
}

TEST_F(EngineUpdateTest, EngineInUseGoesInUnderANumberedNameAndTheNextUpdateTidiesUp) {
    LayOutSource();
    PlaceEngine(install / L"QMXI.dll");
    {
        const ChildProcess holder = HoldLibrary(install / L"QMXI.dll");
        EXPECT_EQ(Update(Data()), 0u);
        EXPECT_EQ(record.Calls(), (std::vector<EngineCall>{{L"DllUnregisterServer", L"QMXI.dll"},
                                                           {L"DllRegisterServer", L"QMXI0.dll"}}));
        EXPECT_TRUE(FileExists(install / L"QMXI.dll")) << "still loaded by the other process";
        EXPECT_EQ(ReadWholeFile(install / L"QMXI0.dll"), ReadWholeFile(source / L"QMXI.dll"));
        EXPECT_EQ(ActionLogText(),
                  LogTextOf(HandshakeLinesAnd({L"Error copying QMXI dll - attempting to rename and copy the file",
                                               L"QMXI dll was installed successfully"})));
    }
    ClearLog();
    EXPECT_EQ(Update(Data()), 0u);
    EXPECT_FALSE(FileExists(install / L"QMXI0.dll")) << "no longer in use, so removed";
    EXPECT_EQ(record.Calls().back(), (EngineCall{L"DllRegisterServer", L"QMXI.dll"}));
    EXPECT_EQ(ActionLogText(), LogTextOf(HandshakeLinesAnd({L"QMXI dll was installed successfully"})));
}

TEST_F(EngineUpdateTest, NoFreeNumberedNameIsFatal) {
    LayOutSource();
    PlaceEngine(install / L"QMXI.dll");
    // Read-only copies survive the deletion of the old libraries (access denied).
    for (unsigned n = 0; n < ih::kUniqueFileNameCandidates; ++n) {
        const std::wstring path = install / (L"QMXI" + std::to_wstring(n) + L".dll");
        HANDLE file =
            ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_READONLY, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        ::CloseHandle(file);
    }
    const ChildProcess holder = HoldLibrary(install / L"QMXI.dll");
    EXPECT_EQ(Update(Data()), 1603u);
    EXPECT_EQ(ActionLogText(),
              LogTextOf(HandshakeLinesAnd({L"Error copying QMXI dll - attempting to rename and copy the file",
                                           L"Error renaming QMXI dll so that it can be copied. Fatal error"})));
    EXPECT_FALSE(EventIsSet(names.completeEvent)) << "no new engine was registered";
    EXPECT_FALSE(FileExists(install / L"QMXI9999.dll"));
}

TEST_F(EngineUpdateTest, AFailedCopyUnderTheNumberedNameLeavesNoPlaceholder) {
    LayOutSource();
    PlaceEngine(install / L"QMXI.dll");
    // The source engine opened without sharing: both copies fail with a
    // sharing violation, the second after its numbered name was made.
    const ih::UniqueFileHandle locked(::CreateFileW((source / L"QMXI.dll").c_str(), GENERIC_READ, 0, nullptr,
                                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(locked);
    EXPECT_EQ(Update(Data()), 1603u);
    EXPECT_EQ(ActionLogText(),
              LogTextOf(HandshakeLinesAnd({L"Error copying QMXI dll - attempting to rename and copy the file",
                                           L"Error copying renamed QMXI file: -2147024864. Fatal error"})));
    EXPECT_FALSE(FileExists(install / L"QMXI0.dll")) << "the empty placeholder is removed";
    EXPECT_FALSE(EventIsSet(names.completeEvent));
}

TEST_F(EngineUpdateTest, SourceWithoutTheEngineIsFatalWithTheSystemText) {
    source.WriteFile(L"main.DAT", "data");
    PlaceEngine(install / L"QMXI.dll");
    EXPECT_EQ(Update(Data()), 1603u);
    EXPECT_EQ(ActionLogText(), LogTextOf(HandshakeLinesAnd(
                                   {L"Error copying QMXI file (error returned was not ERROR_SHARING_VIOLATION), was: " +
                                    ih::ActionLog::SystemErrorText(ERROR_FILE_NOT_FOUND)})));
    EXPECT_FALSE(ih::ActionLog::SystemErrorText(ERROR_FILE_NOT_FOUND).empty());
    EXPECT_EQ(record.Calls(), (std::vector<EngineCall>{{L"DllUnregisterServer", L"QMXI.dll"}}));
    EXPECT_FALSE(FileExists(install / L"QMXI.dll")) << "the old engine is gone already";
    EXPECT_FALSE(FileExists(install / L"main.DAT")) << "nothing copied after the fatal error";
    EXPECT_FALSE(EventIsSet(names.completeEvent));
}

TEST_F(EngineUpdateTest, EngineWithoutRegistrationEntryIsFatal) {
    PlacePlainLibrary(source / L"QMXI.dll");
    EXPECT_EQ(Update(Data()), 1603u);
    EXPECT_EQ(ActionLogText(), LogTextOf(HandshakeLinesAnd({L"Error installing QMXI dll"})));
    EXPECT_TRUE(FileExists(install / L"QMXI.dll"));
    EXPECT_TRUE(EventIsSet(names.completeEvent)) << "raised once registration was tried";
}

TEST_F(EngineUpdateTest, MutexHeldElsewhereDoesNotStopTheUpdateButStopsTheRemoval) {
    LayOutSource();
    PlaceEngine(install / L"QMXI.dll");
    const std::wstring started = UniqueEventName(L"mutex");
    const ChildProcess holder(Quoted(FixturePath(L"holder.exe")) + L" mutex " + Quoted(names.updateMutex) + L" " +
                                  started + L" 30000",
                              started);
    EXPECT_EQ(Update(Data()), 0u);
    std::vector<std::wstring> expected{L"Unexpected value for MutexStatus, value: 258"};
    for (const std::wstring& line : HandshakeLines()) expected.push_back(line);
    expected.push_back(L"Error Uninstalling QMXI - error returned: 258");
    expected.push_back(L"QMXI dll was installed successfully");
    EXPECT_EQ(ActionLogText(), LogTextOf(expected));

    ClearLog();
    EXPECT_EQ(Remove(install.Path()), 1603u);
    expected.resize(5);
    expected.push_back(L"Error uninstalling QMXI dll, with the error: " + ih::ActionLog::SystemErrorText(WAIT_TIMEOUT));
    EXPECT_EQ(ActionLogText(), LogTextOf(expected));
    EXPECT_FALSE(FileExists(install / L"QMXI.dll")) << "the handshake itself went on";
    ::TerminateProcess(holder.Handle(), 0);
    ::WaitForSingleObject(holder.Handle(), 5000);
}

TEST_F(EngineUpdateTest, BadActionDataIsFatalWithItsLogLine) {
    const std::wstring unusable = L"UpdateQMXI custom action data was empty - cannot determine SOURCEDIR or INSTALLDIR";
    struct Case {
        const char* what;
        UINT(__stdcall* action)(MSIHANDLE);
        std::wstring data;
        std::wstring line;
    } const cases[] = {
        {"update, undefined", UpdateQMXI, L"",
         L"Empty string returned from GetProperty inside UpdateQMXI. Fatal error"},
        {"update, one field", UpdateQMXI, L"C:\\Program Files\\Kestro", unusable},
        {"update, only delimiters", UpdateQMXI, L"\"\"\"", unusable},
        {"update, thousands of characters", UpdateQMXI, std::wstring(40000, L'p'), unusable},
        {"removal, undefined", RemoveQMXI, L"",
         L"Empty string returned from GetProperty inside RemoveQMXI. Fatal error"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ClearLog();
        const TestPackage package = PackageWithActionData(c.data);
        const HandleCountCheck handles;
        EXPECT_EQ(c.action(package.Handle()), 1603u);
        EXPECT_TRUE(handles.Unchanged());
        EXPECT_EQ(ActionLogEntries(), std::vector<std::wstring>{c.line});
    }
    ClearLog();
    EXPECT_EQ(UpdateQMXI(0), 1603u);
    EXPECT_EQ(RemoveQMXI(0), 1603u);
    EXPECT_EQ(ActionLogEntries(), (std::vector<std::wstring>{L"Error getting UpdateQmxi CustomActionData",
                                                             L"Error getting REMOVEQMXIPROPERTY property"}));
    EXPECT_TRUE(clock.waits.empty()) << "no handshake without data";
}

TEST_F(EngineUpdateTest, RemovalDeletesTheEngineOrFindsItGone) {
    const std::wstring success = L"QMXI dll uninstalled successfully";
    PlaceEngine(install / L"QMXI.dll");
    install.WriteFile(L"QMXIREG.DLL", "registration helper");
    const ChildProcess client = [&] {
        const std::wstring started = UniqueEventName(L"client");
        return ChildProcess(Quoted(FixturePath(L"engine_client.exe")) + L" Scanner prompt - " +
                                Quoted(install / L"QMXI.dll") + L" " + Quoted(temp / L"client.txt") + L" " + started,
                            started);
    }();
    EXPECT_EQ(Remove(WithoutTrailingBackslash(install.Path())), 0u);
    EXPECT_FALSE(FileExists(install / L"QMXI.dll"));
    EXPECT_TRUE(FileExists(install / L"QMXIREG.DLL"));
    EXPECT_EQ(record.Calls(), (std::vector<EngineCall>{{L"DllUnregisterServer", L"QMXI.dll"}}));
    EXPECT_EQ(ActionLogText(), LogTextOf(HandshakeLinesAnd({success})));
    EXPECT_FALSE(EventIsSet(names.completeEvent)) << "a removal never announces a new engine";
    EXPECT_EQ(ReadLines(temp / L"client.txt"), (std::vector<std::wstring>{L"started", L"requested", L"suspended"}));

    ClearLog();
    EXPECT_EQ(Remove(install.Path()), 0u) << "already gone";
    EXPECT_EQ(ActionLogText(), LogTextOf(HandshakeLinesAnd({success})));
}

TEST_F(EngineUpdateTest, ReadOnlyEngineIsReplaced) {
    PlaceEngine(source / L"QMXI.dll");
    install.WriteFile(L"QMXI.dll", "old engine");
    ASSERT_TRUE(::SetFileAttributesW((install / L"QMXI.dll").c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(Update(Data()), 0u) << "survives the deletion (access denied), then is made writable";
    EXPECT_EQ(ReadWholeFile(install / L"QMXI.dll"), ReadWholeFile(source / L"QMXI.dll"));
    EXPECT_EQ(ActionLogText(), LogTextOf(HandshakeLinesAnd({L"QMXI dll was installed successfully"})));
}

TEST_F(EngineUpdateTest, RemovalOfAnEngineStillLoadedElsewhereIsLoggedButNotFatal) {
    PlaceEngine(install / L"QMXI.dll");
    const ChildProcess holder = HoldLibrary(install / L"QMXI.dll");
    EXPECT_EQ(Remove(install.Path()), 0u);
    EXPECT_TRUE(FileExists(install / L"QMXI.dll"));
    EXPECT_EQ(ActionLogText(), LogTextOf(HandshakeLinesAnd(
                                   {L"ERROR: Unable to delete the QMXI file", L"QMXI dll uninstalled successfully"})));
}

TEST_F(EngineUpdateTest, RemovalStopsWhenAClientNeverGetsReady) {
    PlaceEngine(install / L"QMXI.dll");
    const std::wstring started = UniqueEventName(L"client");
    const ChildProcess client(Quoted(FixturePath(L"engine_client.exe")) + L" Stuck never-ready - - - " + started,
                              started);
    EXPECT_EQ(Remove(install.Path()), 1603u);
    const std::vector<std::wstring> entries = ActionLogEntries();
    ASSERT_GE(entries.size(), 2u);
    EXPECT_EQ(entries[1], L"Failed to wait for event " + names.readyBase);
    EXPECT_TRUE(ActionLogText().ends_with(L"Error uninstalling QMXI dll, with the error: " +
                                          ih::ActionLog::SystemErrorText(WAIT_TIMEOUT) + L"\r\n"))
        << "ends with the removal's own error, the time-out's text";
}

// The built DLL as the installer uses it: loaded, the engine actions called,
// unloaded, and nothing left behind, the engine objects included.
TEST_F(EngineUpdateTest, BuiltLibraryLeavesNoHandleBehind) {
    LayOutSource();
    const TestPackage update = PackageWithActionData(Data());
    const TestPackage remove = PackageWithActionData(install.Path());
    const TestPackage broken = PackageWithActionData(install.Path() + L"\"" + temp.Path());
    constexpr long kRounds = 2;
    const HandleCountCheck handles;
    for (long round = 0; round < kRounds; ++round) {
        LoadedProductDll library;
        const ExportedAction updateQmxi = library.Action("UpdateQMXI");
        const ExportedAction removeQmxi = library.Action("RemoveQMXI");
        ASSERT_NE(updateQmxi, nullptr);
        ASSERT_NE(removeQmxi, nullptr);
        EXPECT_EQ(updateQmxi(update.Handle()), 0u);
        EXPECT_EQ(updateQmxi(broken.Handle()), 1603u) << "no engine in that source";
        EXPECT_EQ(removeQmxi(remove.Handle()), 0u);
        EXPECT_TRUE(library.Free());
    }
    // Only the toolchain's constant per load (see ProductDll.h).
    EXPECT_TRUE(handles.ChangedBy(HandlesLeftByEachLoad(), kRounds));
}

// Two installers updating the engine at once: each one's unregistration,
// copy and registration run as one block, never interleaved with the other's.
TEST_F(EngineUpdateTest, TwoUpdatersAreSerialisedByTheMutex) {
    LayOutSource();
    PlaceEngine(install / L"QMXI.dll");
    ::SetEnvironmentVariableW(L"IH_ENGINE_DELAY", L"400");
    // Folders without their trailing backslash, which would escape the closing quote.
    const std::wstring command = Quoted(FixturePath(L"engine_updater.exe")) + L" " +
                                 Quoted(WithoutTrailingBackslash(install.Path())) + L" " +
                                 Quoted(WithoutTrailingBackslash(source.Path()));
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    std::vector<ih::UniqueFileHandle> outputs;
    std::vector<ChildProcess> updaters;
    for (int i = 0; i < 2; ++i) {
        outputs.emplace_back(::CreateFileW((temp / (L"updater" + std::to_wstring(i) + L".txt")).c_str(), GENERIC_WRITE,
                                           FILE_SHARE_READ, &inheritable, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                           nullptr));
        updaters.emplace_back(command, std::wstring(), outputs.back().get());
    }
    ::SetEnvironmentVariableW(L"IH_ENGINE_DELAY", nullptr);
    for (const ChildProcess& updater : updaters) EXPECT_EQ(updater.Wait(60000), 0u);
    outputs.clear();

    std::vector<std::wstring> owners; // the process of each recorded line, in order
    for (const std::wstring& line : ReadLines(record.Path())) {
        const std::size_t first = line.find(L' ');
        owners.push_back(line.substr(first + 1, line.find(L' ', first + 1) - first - 1));
    }
    ASSERT_EQ(owners.size(), 8u) << "begin and end of one unregistration and one registration each";
    EXPECT_EQ(std::set<std::wstring>(owners.begin(), owners.begin() + 4).size(), 1u);
    EXPECT_EQ(std::set<std::wstring>(owners.begin() + 4, owners.end()).size(), 1u);
    EXPECT_NE(owners.front(), owners.back());
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(ReadLines(temp / (L"updater" + std::to_wstring(i) + L".txt")),
                  (std::vector<std::wstring>{L"Ready for update", L"Suspended"}))
            << "the handshake's progress lines on standard output";
}

} // namespace
