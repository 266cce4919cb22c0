// The engine update handshake against real client processes, a real mutex and
// real events, with the 4-minute waits scaled down by the recording clock.

#include "frame/ActionLog.h"
#include "frame/LibraryEntry.h"
#include "update/EngineHandshake.h"
#include "update/EngineNames.h"
#include "update/EngineObjects.h"
#include "update/TerminalServices.h"
#include "support/EngineTestSupport.h"
#include "support/HandleCount.h"
#include "support/LogFile.h"
#include "support/TestClock.h"
#include "support/TestFolder.h"
#include "support/TestRegistry.h"

#include <gtest/gtest.h>

#include <aclapi.h>

#include <cstring>

namespace {

using namespace ih::test;
using ih::update::Engine;

TEST(EngineNames, GlobalPrefixOnlyWithTerminalServices) {
    const ih::update::EngineNames global = ih::update::MakeEngineNames(true);
    EXPECT_EQ(global.updateMutex, L"Global\\!$_QMXI_!$$!_EVENT_$!__UpdateMutex");
    EXPECT_EQ(global.requestEvent, L"Global\\!$_QMXI_!$$!_EVENT_$!__UpdateRequest");
    EXPECT_EQ(global.completeEvent, L"Global\\!$_QMXI_!$$!_EVENT_$!__UpdateComplete");
    EXPECT_EQ(global.readyBase, L"Global\\!$_QMXI_!$$!_EVENT_$!__ReadyForUpdate");
    EXPECT_EQ(global.suspendedBase, L"Global\\!$_QMXI_!$$!_EVENT_$!__Suspended");
    EXPECT_EQ(global.presenceBase, L"Global\\!$_QMXI_!$$!_EVENT_$!__");
    const ih::update::EngineNames plain = ih::update::MakeEngineNames(false);
    EXPECT_EQ(plain.updateMutex, L"!$_QMXI_!$$!_EVENT_$!__UpdateMutex");
    EXPECT_EQ(plain.presenceBase, L"!$_QMXI_!$$!_EVENT_$!__");
}

TEST(TerminalServices, DecidedFromVersionSuiteTestOrProductSuite) {
    struct Case {
        const char* what;
        DWORD platform, major;
        bool versionKnown;
        std::optional<bool> suite;
        bool productSuite;
        bool expected;
        bool asksSuite, asksProductSuite;
    } const cases[] = {
        {"NT 5 with the suite", VER_PLATFORM_WIN32_NT, 5, true, true, false, true, true, false},
        {"NT 6 without the suite", VER_PLATFORM_WIN32_NT, 6, true, false, true, false, true, false},
        {"NT 5, version test functions missing", VER_PLATFORM_WIN32_NT, 5, true, std::nullopt, true, false, true,
         false},
        {"NT 4 naming Terminal Server", VER_PLATFORM_WIN32_NT, 4, true, true, true, true, false, true},
        {"NT 4 without it", VER_PLATFORM_WIN32_NT, 4, true, true, false, false, false, true},
        {"NT 3 naming it", VER_PLATFORM_WIN32_NT, 3, true, false, true, true, false, true},
        {"Windows 98", VER_PLATFORM_WIN32_WINDOWS, 4, true, true, true, false, false, false},
        {"version unknown", VER_PLATFORM_WIN32_NT, 5, false, true, true, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        bool askedSuite = false, askedProductSuite = false;
        const ih::update::TerminalServicesFacts facts{[&](DWORD& platform, DWORD& major) {
                                                          platform = c.platform;
                                                          major = c.major;
                                                          return c.versionKnown;
                                                      },
                                                      [&] {
                                                          askedSuite = true;
                                                          return c.suite;
                                                      },
                                                      [&] {
                                                          askedProductSuite = true;
                                                          return c.productSuite;
                                                      }};
        EXPECT_EQ(ih::update::TerminalServicesPresent(facts), c.expected);
        EXPECT_EQ(askedSuite, c.asksSuite);
        EXPECT_EQ(askedProductSuite, c.asksProductSuite);
    }
}

TEST(TerminalServices, ThisSystemHasNoneSoTheLibraryUsesPlainNames) {
    // Wine answers no to the suite test, as a workstation without Terminal Services does.
    EXPECT_FALSE(ih::update::TerminalServicesPresent(ih::update::SystemTerminalServicesFacts()));
    EXPECT_EQ(Engine().Names().updateMutex, L"!$_QMXI_!$$!_EVENT_$!__UpdateMutex");
}

TEST(TerminalServices, ProductSuiteListIsReadWithinItsStoredLength) {
    const ScopedRegistryTree tree(HKEY_CURRENT_USER, L"Software\\KestroTests\\ProductOptions");
    tree.Create();
    HKEY key = nullptr;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, tree.Path().c_str(), 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
    struct Case {
        const char* what;
        DWORD type;
        std::wstring data; // stored without any terminator beyond those written here
        bool expected;
    } const cases[] = {
        {"second entry", REG_MULTI_SZ, std::wstring(L"Enterprise\0Terminal Server\0\0", 29), true},
        {"only entry, unterminated", REG_MULTI_SZ, L"Terminal Server", true},
        {"other case", REG_MULTI_SZ, std::wstring(L"terminal server\0\0", 17), false},
        {"longer entry", REG_MULTI_SZ, std::wstring(L"Terminal Server X\0\0", 19), false},
        {"after the list's end", REG_MULTI_SZ, std::wstring(L"A\0\0Terminal Server\0\0", 21), false},
        {"plain string", REG_SZ, std::wstring(L"Terminal Server\0", 16), false},
        {"empty list", REG_MULTI_SZ, L"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(::RegSetValueExW(key, L"ProductSuite", 0, c.type, reinterpret_cast<const BYTE*>(c.data.data()),
                                   static_cast<DWORD>(c.data.size() * sizeof(wchar_t))),
                  ERROR_SUCCESS);
        const HandleCountCheck handles;
        EXPECT_EQ(ih::update::ProductSuiteNamesTerminalServer(HKEY_CURRENT_USER, tree.Path()), c.expected);
        EXPECT_TRUE(handles.Unchanged());
    }
    ::RegDeleteValueW(key, L"ProductSuite");
    EXPECT_FALSE(ih::update::ProductSuiteNamesTerminalServer(HKEY_CURRENT_USER, tree.Path()));
    EXPECT_FALSE(ih::update::ProductSuiteNamesTerminalServer(HKEY_CURRENT_USER, tree.Path(L"Missing")));
    ::RegCloseKey(key);
}

TEST(EngineObjects, ManualResetEventsOpenToEveryAccount) {
    ih::update::EngineObjects& engine = Engine();
    for (const std::wstring& name : {engine.Names().requestEvent, engine.Names().completeEvent}) {
        SCOPED_TRACE(testing::PrintToString(std::string(name.begin(), name.end())));
        ih::UniqueHandle event(::OpenEventW(EVENT_ALL_ACCESS, FALSE, name.c_str()));
        ASSERT_TRUE(event);
        ASSERT_TRUE(::SetEvent(event.get()));
        EXPECT_EQ(::WaitForSingleObject(event.get(), 0), WAIT_OBJECT_0);
        EXPECT_EQ(::WaitForSingleObject(event.get(), 0), WAIT_OBJECT_0) << "manual reset";
        ::ResetEvent(event.get());
        EXPECT_FALSE(EventIsSet(name));

        PACL dacl = reinterpret_cast<PACL>(1);
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        ASSERT_EQ(::GetSecurityInfo(event.get(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                                    nullptr, &descriptor),
                  ERROR_SUCCESS);
        ih::UniqueLocalMemory owner(descriptor);
        SECURITY_DESCRIPTOR_CONTROL control = 0;
        DWORD revision = 0;
        ASSERT_TRUE(::GetSecurityDescriptorControl(descriptor, &control, &revision));
        EXPECT_TRUE(control & SE_DACL_PRESENT);
        EXPECT_EQ(dacl, nullptr) << "a present but null access list";
    }
    EXPECT_TRUE(engine.Attributes()->bInheritHandle);
}

TEST(CallLibraryEntry, CallsTheEntryOrGivesTheLoadOrLookUpError) {
    TestFolder folder;
    const EngineCallRecord record(folder);
    PlaceEngine(folder / L"Engine.dll");
    PlacePlainLibrary(folder / L"Plain.dll");
    const HandleCountCheck handles;
    EXPECT_EQ(ih::CallLibraryEntry(folder / L"Engine.dll", "DllRegisterServer"), 0u);
    EXPECT_EQ(ih::CallLibraryEntry(folder / L"Plain.dll", "DllRegisterServer"),
              static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
    EXPECT_EQ(ih::CallLibraryEntry(folder / L"Missing.dll", "DllRegisterServer"),
              static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    EXPECT_TRUE(handles.Unchanged());
    EXPECT_EQ(record.Calls(), (std::vector<EngineCall>{{L"DllRegisterServer", L"Engine.dll"}}));
    EXPECT_EQ(::GetModuleHandleW((folder / L"Engine.dll").c_str()), nullptr) << "unloaded again";
    EXPECT_TRUE(::DeleteFileW((folder / L"Engine.dll").c_str()));
}

// One engine folder, the clients' registry key and the engine objects.
class HandshakeTest : public testing::Test {
protected:
    void SetUp() override {
        Engine(); // built before any handle count is taken; it lives as long as the library
        ::ResetEvent(Engine().RequestEvent());
        ::ResetEvent(Engine().CompleteEvent());
    }
    void TearDown() override { ih::update::EndEngineUpdate(); }

    const ih::update::EngineNames& names = Engine().Names();
    TestFolder temp;
    TemporaryFolderRedirect redirect{temp.Path()};
    TestFolder folder;
    EngineCallRecord record{temp};
    ScopedRegistryTree clients{HKEY_LOCAL_MACHINE, L"SOFTWARE\\Kestro\\QMXI"};
    RecordingClock clock;

    ChildProcess StartClient(const std::wstring& name, const std::wstring& behaviour,
                             const std::wstring& engine = L"-") const {
        const std::wstring started = UniqueEventName(L"client");
        return ChildProcess(Quoted(FixturePath(L"engine_client.exe")) + L" " + name + L" " + behaviour + L" - " +
                                Quoted(engine) + L" " + Quoted(StatusFile(name)) + L" " + started,
                            started);
    }
    std::wstring StatusFile(const std::wstring& client) const { return temp / (L"client-" + client + L".txt"); }

    std::vector<std::wstring> HandshakeLines() const {
        return {L"About to wait for event " + names.readyBase, L"Successfully waited for event " + names.readyBase,
                L"About to wait for event " + names.suspendedBase,
                L"Successfully waited for event " + names.suspendedBase};
    }
};

// Another kind of object under the request event's name: the event cannot be
// made, and the handshake ends at once with that error instead of waiting for
// every client in vain.
TEST(EngineObjects, AnEventThatCannotBeMadeEndsTheHandshakeAtOnce) {
    const std::wstring requestName = Engine().Names().requestEvent;
    ih::update::DestroyEngineObjects();
    {
        const ih::UniqueHandle squatter(::CreateMutexW(nullptr, FALSE, requestName.c_str()));
        ASSERT_TRUE(squatter);
        RecordingClock clock;
        const TestFolder temp;
        const TemporaryFolderRedirect redirect(temp.Path());
        EXPECT_EQ(Engine().EventsError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        EXPECT_EQ(ih::update::NotifyEngineClients(ih::ActionLog()), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        EXPECT_TRUE(clock.waits.empty());
        EXPECT_TRUE(ActionLogEntries().empty()) << "the caller logs the error with its text";
        ih::update::DestroyEngineObjects();
    }
    EXPECT_EQ(Engine().EventsError(), 0u) << "built afresh once the name is free";
}

TEST_F(HandshakeTest, WithoutClientsUnregistersOneEngineAndDeletesAllButTheRegistrationHelper) {
    PlaceEngine(folder / L"QMXI.dll");
    PlaceEngine(folder / L"QMXI0.dll");
    PlaceEngine(folder / L"QMXIREG.DLL");
    folder.WriteFile(L"QMXI.txt", "not a library");
    const ih::ActionLog log;
    const HandleCountCheck handles;
    EXPECT_EQ(ih::update::ReleaseEngine(folder.Path(), log), 0);

    const std::vector<EngineCall> calls = record.Calls();
    ASSERT_EQ(calls.size(), 1u) << "only the first engine library found is unregistered";
    EXPECT_EQ(calls[0].entry, L"DllUnregisterServer");
    EXPECT_TRUE(calls[0].fileName == L"QMXI.dll" || calls[0].fileName == L"QMXI0.dll");
    EXPECT_FALSE(FileExists(folder / L"QMXI.dll"));
    EXPECT_FALSE(FileExists(folder / L"QMXI0.dll"));
    EXPECT_TRUE(FileExists(folder / L"QMXIREG.DLL"));
    EXPECT_TRUE(FileExists(folder / L"QMXI.txt"));
    EXPECT_EQ(ActionLogText(), LogTextOf(HandshakeLines()));
    EXPECT_EQ(clock.waits, std::vector<DWORD>{240000}) << "the mutex only";
    EXPECT_FALSE(MutexIsFree(names.updateMutex)) << "held until the new engine is registered";
    EXPECT_FALSE(EventIsSet(names.requestEvent));

    PlaceEngine(folder / L"QMXI.dll");
    EXPECT_EQ(ih::update::RegisterEngine(folder / L"QMXI.dll"), 0u);
    EXPECT_TRUE(handles.Unchanged());
    EXPECT_EQ(record.Calls().back(), (EngineCall{L"DllRegisterServer", L"QMXI.dll"}));
    EXPECT_TRUE(EventIsSet(names.completeEvent));
    EXPECT_TRUE(MutexIsFree(names.updateMutex));
}

TEST_F(HandshakeTest, TwoClientsLetGoOfTheEngineAndHearOfTheNewOne) {
    PlaceEngine(folder / L"QMXI.dll");
    const ChildProcess first = StartClient(L"ScannerService", L"prompt", folder / L"QMXI.dll");
    const ChildProcess second = StartClient(L"TrayMonitor", L"prompt");
    const ih::ActionLog log;
    const HandleCountCheck handles;
    EXPECT_EQ(ih::update::ReleaseEngine(folder.Path(), log), 0);
    EXPECT_FALSE(FileExists(folder / L"QMXI.dll")) << "deleted once the client let go of it";
    EXPECT_EQ(ActionLogText(), LogTextOf(HandshakeLines()));
    EXPECT_EQ(clock.waits, std::vector<DWORD>(5, 240000)) << "mutex, two ready, two suspended";
    EXPECT_FALSE(EventIsSet(names.requestEvent)) << "lowered again once all suspended";
    EXPECT_EQ(ReadLines(StatusFile(L"TrayMonitor")),
              (std::vector<std::wstring>{L"started", L"requested", L"suspended"}));

    PlaceEngine(folder / L"QMXI.dll");
    EXPECT_EQ(ih::update::RegisterEngine(folder / L"QMXI.dll"), 0u);
    EXPECT_TRUE(handles.Unchanged());
    EXPECT_EQ(first.Wait(), 0u);
    EXPECT_EQ(second.Wait(), 0u);
    const std::vector<std::wstring> all{L"started", L"requested", L"suspended", L"complete"};
    EXPECT_EQ(ReadLines(StatusFile(L"ScannerService")), all);
    EXPECT_EQ(ReadLines(StatusFile(L"TrayMonitor")), all);
}

TEST_F(HandshakeTest, ClientsThatDoNotAnswerEndTheirStageWithOneWait) {
    struct Case {
        const char* behaviour;
        bool requestSeen;
        std::wstring failedBase;
        std::size_t waits;
    } const cases[] = {
        // mutex, ready of the answering client, ready of the silent one
        {"never-ready", false, names.readyBase, 3},
        // and then suspended of both
        {"never-suspends", true, names.suspendedBase, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.behaviour);
        ::DeleteFileW((temp / L"Kestro Anti-Virus CustomActions Log.txt").c_str());
        clock.waits.clear();
        PlaceEngine(folder / L"QMXI.dll");
        const std::wstring behaviour(c.behaviour, c.behaviour + std::strlen(c.behaviour));
        ChildProcess answering = StartClient(L"A-Answering", L"prompt");
        ChildProcess silent = StartClient(L"B-" + behaviour, behaviour);
        const ih::ActionLog log;
        const HandleCountCheck handles;
        EXPECT_EQ(ih::update::ReleaseEngine(folder.Path(), log), WAIT_TIMEOUT);
        ih::update::EndEngineUpdate();
        EXPECT_TRUE(handles.Unchanged());

        std::vector<std::wstring> expected{L"About to wait for event " + names.readyBase};
        if (c.requestSeen) {
            expected.push_back(L"Successfully waited for event " + names.readyBase);
            expected.push_back(L"About to wait for event " + names.suspendedBase);
        }
        expected.push_back(L"Failed to wait for event " + c.failedBase);
        expected.push_back(L"Signal to drop engine failed with error: " + ih::ActionLog::SystemErrorText(WAIT_TIMEOUT));
        EXPECT_EQ(ActionLogText(), LogTextOf(expected));
        EXPECT_EQ(clock.waits.size(), c.waits);
        EXPECT_FALSE(FileExists(folder / L"QMXI.dll")) << "the libraries are deleted all the same";
        EXPECT_FALSE(EventIsSet(names.requestEvent));
        const std::vector<std::wstring> silentStatus = ReadLines(StatusFile(L"B-" + behaviour));
        EXPECT_EQ(silentStatus.size() > 1 && silentStatus[1] == L"requested", c.requestSeen)
            << "the request is raised only once every client is ready";
        ::DeleteFileW(StatusFile(L"A-Answering").c_str());
        ::DeleteFileW(StatusFile(L"B-" + behaviour).c_str());
    }
}

TEST_F(HandshakeTest, ClientsThatAreNotRunningAreNotWaitedFor) {
    // A subkey without a presence event, a client whose presence event exists
    // but which has no ready event, and a subkey name of the longest length.
    const ChildProcess absent = StartClient(L"NoPresence", L"no-presence");
    const std::wstring presenceOnly = L"PresenceOnly";
    clients.Create(presenceOnly);
    const ih::UniqueHandle presence(::CreateEventW(nullptr, TRUE, FALSE, (names.presenceBase + presenceOnly).c_str()));
    clients.Create(std::wstring(255, L'k'));
    const ih::ActionLog log;
    const HandleCountCheck handles;
    EXPECT_EQ(ih::update::ReleaseEngine(folder.Path(), log), 0);
    ih::update::EndEngineUpdate();
    EXPECT_TRUE(handles.Unchanged());
    EXPECT_EQ(ActionLogText(), LogTextOf(HandshakeLines()));
    EXPECT_EQ(clock.waits, std::vector<DWORD>{240000});
}

TEST_F(HandshakeTest, MutexHeldElsewhereTimesOutAndTheReleaseGoesOn) {
    PlaceEngine(folder / L"QMXI.dll");
    const std::wstring started = UniqueEventName(L"mutex");
    const ChildProcess holder(Quoted(FixturePath(L"holder.exe")) + L" mutex " + Quoted(names.updateMutex) + L" " +
                                  started + L" 20000",
                              started);
    const ih::ActionLog log;
    const HandleCountCheck handles;
    EXPECT_EQ(ih::update::ReleaseEngine(folder.Path(), log), WAIT_TIMEOUT);
    EXPECT_EQ(ih::update::RegisterEngine(folder / L"Missing.dll"), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    EXPECT_TRUE(handles.Unchanged());
    std::vector<std::wstring> expected{L"Unexpected value for MutexStatus, value: 258"};
    for (const std::wstring& line : HandshakeLines()) expected.push_back(line);
    EXPECT_EQ(ActionLogText(), LogTextOf(expected));
    EXPECT_EQ(record.Calls(), (std::vector<EngineCall>{{L"DllUnregisterServer", L"QMXI.dll"}}));
    EXPECT_FALSE(FileExists(folder / L"QMXI.dll"));
    EXPECT_TRUE(EventIsSet(names.completeEvent)) << "raised even when registration failed";
    EXPECT_FALSE(MutexIsFree(names.updateMutex)) << "still the other process's";
}

TEST_F(HandshakeTest, AbandonedMutexIsReportedAndTaken) {
    const std::wstring started = UniqueEventName(L"mutex");
    ih::UniqueHandle keepAlive;
    {
        const ChildProcess holder(Quoted(FixturePath(L"holder.exe")) + L" mutex " + Quoted(names.updateMutex) + L" " +
                                      started + L" 1000",
                                  started);
        // A named mutex lives only while a handle to it is open: the holder
        // keeps it a second, long enough to be opened here on a busy machine.
        keepAlive.reset(::OpenMutexW(SYNCHRONIZE, FALSE, names.updateMutex.c_str()));
        ASSERT_TRUE(keepAlive);
        ASSERT_EQ(holder.Wait(), 0u);
    }
    const ih::ActionLog log;
    const HandleCountCheck handles;
    EXPECT_EQ(ih::update::ReleaseEngine(folder.Path(), log), WAIT_ABANDONED);
    EXPECT_FALSE(MutexIsFree(names.updateMutex)) << "the abandoned mutex now belongs to this updater";
    ih::update::EndEngineUpdate();
    EXPECT_TRUE(handles.Unchanged());
    EXPECT_TRUE(MutexIsFree(names.updateMutex));
    EXPECT_EQ(ActionLogEntries().front(), L"Unexpected value for MutexStatus, value: 128");
}

TEST_F(HandshakeTest, LibraryStillLoadedElsewhereIsLeftInPlace) {
    PlaceEngine(folder / L"QMXI.dll");
    PlaceEngine(folder / L"QMXI1.dll");
    const std::wstring started = UniqueEventName(L"library");
    const ChildProcess holder(
        Quoted(FixturePath(L"holder.exe")) + L" library " + Quoted(folder / L"QMXI.dll") + L" " + started, started);
    const ih::ActionLog log;
    const HandleCountCheck handles;
    EXPECT_EQ(ih::update::ReleaseEngine(folder.Path(), log), 0) << "access denied does not change the result";
    ih::update::EndEngineUpdate();
    EXPECT_TRUE(handles.Unchanged());
    EXPECT_TRUE(FileExists(folder / L"QMXI.dll"));
    EXPECT_FALSE(FileExists(folder / L"QMXI1.dll"));
}

} // namespace
