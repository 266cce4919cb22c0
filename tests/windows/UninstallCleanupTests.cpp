// DeleteOtherFiles, ForceDeleteFiles and DeleteIDEs through their exported
// entry points, over a machine laid out with the product's left-overs: files in
// the installation and product data folders, real scheduled work items in the
// platform's task scheduler, per-user files, registry keys and shortcuts.

#include "actions/Exports.h"
#include "cleanup/UninstallCleanup.h"
#include "cleanup/WorkItemData.h"
#include "frame/ActionLog.h"
#include "frame/Handles.h"
#include "support/HandleCount.h"
#include "support/LogFile.h"
#include "support/PendingRestart.h"
#include "support/TestFolder.h"
#include "support/TestPackage.h"
#include "support/TestRegistry.h"

#include <gtest/gtest.h>

#include <mstask.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace ih::test;

// An exported action, with the installer's calling convention (it matters on x86).
using ExportedAction = UINT(__stdcall*)(MSIHANDLE);

constexpr CLSID kTaskSchedulerClass = {0x148BD52A, 0xA2AB, 0x11CE, {0xB1, 0x1F, 0x00, 0xAA, 0x00, 0x53, 0x05, 0x03}};
constexpr IID kTaskSchedulerInterface = {0x148BD527, 0xA2AB, 0x11CE, {0xB1, 0x1F, 0x00, 0xAA, 0x00, 0x53, 0x05, 0x03}};
constexpr CLSID kTaskClass = {0x148BD520, 0xA2AB, 0x11CE, {0xB1, 0x1F, 0x00, 0xAA, 0x00, 0x53, 0x05, 0x03}};
constexpr IID kTaskInterface = {0x148BD524, 0xA2AB, 0x11CE, {0xB1, 0x1F, 0x00, 0xAA, 0x00, 0x53, 0x05, 0x03}};

std::wstring Line(const std::wstring& text) { return text + L"\r\n"; }
std::wstring Attempt(const std::wstring& path) { return Line(L"Attempting to delete file: " + path); }
std::wstring Failure(const std::wstring& path, DWORD error) {
    return Line(L"Error deleting file: " + path + L" with error: " + ih::ActionLog::SystemErrorText(error) + L".");
}

std::wstring SpecialFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
    return path;
}

void WriteAt(const std::wstring& path, const char* content = "x") {
    std::wstring folder = path.substr(0, path.find_last_of(L'\\'));
    ::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    const ih::UniqueFileHandle file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file);
    DWORD written = 0;
    ::WriteFile(file.get(), content, static_cast<DWORD>(strlen(content)), &written, nullptr);
}

std::vector<unsigned char> Utf16Bytes(const std::wstring& text, bool terminated) {
    std::vector<unsigned char> bytes;
    for (const wchar_t c : text) {
        bytes.push_back(static_cast<unsigned char>(c & 0xFF));
        bytes.push_back(static_cast<unsigned char>(c >> 8));
    }
    if (terminated) bytes.insert(bytes.end(), {0, 0});
    return bytes;
}

// Work items in the platform's scheduler, made for one test and removed after.
class TestWorkItems {
public:
    TestWorkItems() {
        const ih::ComApartment apartment;
        ih::ComPtr<ITaskScheduler> scheduler;
        if (SUCCEEDED(::CoCreateInstance(kTaskSchedulerClass, nullptr, CLSCTX_INPROC_SERVER, kTaskSchedulerInterface,
                                         scheduler.put_void())))
            for (const std::wstring& name : Existing(*scheduler.get())) scheduler->Delete(name.c_str());
    }
    ~TestWorkItems() {
        const ih::ComApartment apartment;
        ih::ComPtr<ITaskScheduler> scheduler;
        if (SUCCEEDED(::CoCreateInstance(kTaskSchedulerClass, nullptr, CLSCTX_INPROC_SERVER, kTaskSchedulerInterface,
                                         scheduler.put_void())))
            for (const std::wstring& name : Existing(*scheduler.get())) scheduler->Delete(name.c_str());
    }

    // Creates work item `name` ("IhTest ..." so that it is found again) whose
    // data are `data` bytes; none when `data` is null.
    static void Create(const std::wstring& name, const std::vector<unsigned char>* data) {
        const ih::ComApartment apartment;
        ih::ComPtr<ITaskScheduler> scheduler;
        ASSERT_EQ(::CoCreateInstance(kTaskSchedulerClass, nullptr, CLSCTX_INPROC_SERVER, kTaskSchedulerInterface,
                                     scheduler.put_void()),
                  S_OK);
        ih::ComPtr<ITask> task;
        ASSERT_EQ(
            scheduler->NewWorkItem(name.c_str(), kTaskClass, kTaskInterface, reinterpret_cast<IUnknown**>(task.put())),
            S_OK);
        ASSERT_EQ(task->SetApplicationName(L"C:\\windows\\notepad.exe"), S_OK);
        if (data) {
            ASSERT_EQ(task->SetWorkItemData(static_cast<WORD>(data->size()), const_cast<BYTE*>(data->data())), S_OK);
        }
        ih::ComPtr<IPersistFile> file;
        ASSERT_EQ(task->QueryInterface(IID_IPersistFile, file.put_void()), S_OK);
        ASSERT_EQ(file->Save(nullptr, TRUE), S_OK);
    }

    // The test's work items now in the scheduler, by their own names.
    static std::vector<std::wstring> Names() {
        const ih::ComApartment apartment;
        ih::ComPtr<ITaskScheduler> scheduler;
        if (FAILED(::CoCreateInstance(kTaskSchedulerClass, nullptr, CLSCTX_INPROC_SERVER, kTaskSchedulerInterface,
                                      scheduler.put_void())))
            return {};
        return Existing(*scheduler.get());
    }

private:
    static std::vector<std::wstring> Existing(ITaskScheduler& scheduler) {
        std::vector<std::wstring> names;
        ih::ComPtr<IEnumWorkItems> items;
        if (FAILED(scheduler.Enum(items.put()))) return names;
        LPWSTR* found = nullptr;
        ULONG fetched = 0;
        while (items->Next(1, &found, &fetched) == S_OK && fetched == 1) {
            std::wstring name = found[0];
            ::CoTaskMemFree(found[0]);
            ::CoTaskMemFree(found);
            if (name.rfind(L"IhTest", 0) == 0) names.push_back(std::wstring(ih::cleanup::WorkItemName(name)));
        }
        std::sort(names.begin(), names.end());
        return names;
    }
};

class UninstallCleanupTest : public testing::Test {
protected:
    TestFolder temp;
    TemporaryFolderRedirect redirect{temp.Path()};
    TestFolder install;
    const std::wstring logFile = temp / L"Kestro Anti-Virus CustomActions Log.txt";
    const std::wstring productData = SpecialFolder(CSIDL_COMMON_APPDATA) + L"\\Kestro\\Kestro Anti-Virus\\";
    const std::wstring marker = temp / L"KestroRebootTest.txt";
    const std::wstring profilesRoot = [] {
        std::wstring profile = SpecialFolder(CSIDL_PROFILE);
        return profile.substr(0, profile.find_last_of(L'\\'));
    }();
    const std::wstring otherProfile = profilesRoot + L"\\IhTestProfile";
    const std::wstring userFile =
        otherProfile + L"\\Local Settings\\Application Data\\Kestro\\Kestro Anti-Virus\\Config\\User.xml";
    PendingRestartOperations pending;
    TestWorkItems workItems;
    ScopedRegistryTree appId{HKEY_CLASSES_ROOT, L"AppID\\{EEA3D6A3-3AEE-4BF4-B8EF-8A190CADD9B1}"};

    void SetUp() override {
        RemoveTree(SpecialFolder(CSIDL_COMMON_APPDATA) + L"\\Kestro");
        RemoveTree(otherProfile);
        // The first use of COM and of the scheduler in a process keeps handles
        // for good; made here, before anything is counted.
        TestWorkItems::Names();
    }
    void TearDown() override {
        RemoveTree(SpecialFolder(CSIDL_COMMON_APPDATA) + L"\\Kestro");
        RemoveTree(otherProfile);
    }

    static UINT RunCounted(ExportedAction action, const std::wstring& data) {
        const TestPackage package = PackageWithActionData(data);
        const HandleCountCheck handles;
        const UINT result = action(package.Handle());
        EXPECT_TRUE(handles.Unchanged());
        return result;
    }
};

TEST_F(UninstallCleanupTest, DeleteOtherFilesRemovesTheProductsLeftOvers) {
    const char* installFiles[] = {"a.IDE",
                                  "b.DAT",
                                  "c.vdb",
                                  "cidsync.upd",
                                  "QMXONACCESSDRIV.INF",
                                  "Zorl.dll",
                                  "KMTQ.dll",
                                  "ConfigureQMX.exe",
                                  "keep.txt",
                                  "QMXI.dll"};
    for (const char* name : installFiles) install.WriteFile(std::wstring(name, name + strlen(name)), "left over");
    ASSERT_TRUE(::SetFileAttributesW((install / L"c.vdb").c_str(), FILE_ATTRIBUTE_READONLY));
    WriteAt(productData + L"Config\\Machine.xml");
    WriteAt(productData + L"Config\\keep.ini");
    WriteAt(productData + L"logs\\QMX1.txt");
    WriteAt(productData + L"logs\\other.txt");
    WriteAt(productData + L"Infected\\quarantined.bin");
    WriteAt(userFile);
    WriteAt(otherProfile + L"\\Local Settings\\Application Data\\Kestro\\Kestro Anti-Virus\\Config\\keep.xml");
    appId.Create();

    const std::wstring id(ih::cleanup::kProductClassId);
    const auto withFields = Utf16Bytes(id + L"\"C:\\scans\\weekly.cfg\"", true);
    const auto exactly = Utf16Bytes(id, false);
    const auto lowerCase = Utf16Bytes(L"{d2b7a809-15dc-40b4-a1e1-c61ea97191db}\"x", true);
    const auto otherId = Utf16Bytes(L"{00000000-15DC-40B4-A1E1-C61EA97191DB}\"" + id, true);
    const auto cutShort = Utf16Bytes(id.substr(0, id.size() - 1), false);
    TestWorkItems::Create(L"IhTest product scan", &withFields);
    TestWorkItems::Create(L"IhTest product exact", &exactly);
    TestWorkItems::Create(L"IhTest lower case", &lowerCase);
    TestWorkItems::Create(L"IhTest other product", &otherId);
    TestWorkItems::Create(L"IhTest cut short", &cutShort);
    TestWorkItems::Create(L"IhTest no data", nullptr);
    ASSERT_EQ(TestWorkItems::Names().size(), 6u);

    std::wstring folder = install.Path();
    folder.pop_back(); // the action adds the separator
    EXPECT_EQ(RunCounted(DeleteOtherFiles, folder), 0u);

    for (const char* kept : {"keep.txt", "QMXI.dll"})
        EXPECT_TRUE(FileExists(install / std::wstring(kept, kept + strlen(kept)))) << kept;
    for (const char* gone :
         {"a.IDE", "b.DAT", "c.vdb", "cidsync.upd", "QMXONACCESSDRIV.INF", "Zorl.dll", "KMTQ.dll", "ConfigureQMX.exe"})
        EXPECT_FALSE(FileExists(install / std::wstring(gone, gone + strlen(gone)))) << gone;
    EXPECT_FALSE(FileExists(productData + L"Config\\Machine.xml"));
    EXPECT_TRUE(FileExists(productData + L"Config\\keep.ini"));
    EXPECT_FALSE(FileExists(productData + L"logs\\QMX1.txt"));
    EXPECT_TRUE(FileExists(productData + L"logs\\other.txt"));
    EXPECT_FALSE(FileExists(productData + L"Infected")) << "the emptied quarantine folder is removed";
    EXPECT_FALSE(FileExists(userFile));
    EXPECT_TRUE(
        FileExists(otherProfile + L"\\Local Settings\\Application Data\\Kestro\\Kestro Anti-Virus\\Config\\keep.xml"));
    EXPECT_EQ(TestWorkItems::Names(), (std::vector<std::wstring>{L"IhTest cut short", L"IhTest lower case",
                                                                 L"IhTest no data", L"IhTest other product"}));
    EXPECT_TRUE(FileExists(marker));
    EXPECT_EQ(pending.DeletionsOf(marker), 1) << "the marker goes at the next restart";
    EXPECT_FALSE(appId.Exists());

    const std::wstring infected = productData + L"Infected\\";
    std::wstring expected;
    for (const char* name :
         {"a.IDE", "b.DAT", "c.vdb", "cidsync.upd", "QMXONACCESSDRIV.INF", "Zorl.dll", "KMTQ.dll", "ConfigureQMX.exe"})
        expected += Attempt(install / std::wstring(name, name + strlen(name)));
    expected += Attempt(productData + L"Config\\Machine.xml");
    expected += Attempt(productData + L"logs\\QMX1.txt");
    expected += Attempt(infected + L".") + Failure(infected + L".", ERROR_ACCESS_DENIED);
    expected += Attempt(infected + L"..") + Failure(infected + L"..", ERROR_ACCESS_DENIED);
    expected += Attempt(infected + L"quarantined.bin");
    EXPECT_EQ(ActionLogText(), expected);
}

TEST_F(UninstallCleanupTest, TheRestartMarkerIsAlwaysScheduledForDeletion) {
    // A second run before the restart finds the marker it made; a marker
    // planted by anyone else is scheduled for deletion just the same, so that
    // it cannot block every later installation.
    EXPECT_EQ(RunCounted(DeleteOtherFiles, install.Path()), 0u);
    EXPECT_EQ(pending.DeletionsOf(marker), 1);
    EXPECT_EQ(RunCounted(DeleteOtherFiles, install.Path()), 0u);
    EXPECT_TRUE(FileExists(marker));
    EXPECT_EQ(pending.DeletionsOf(marker), 2);

    ASSERT_TRUE(::DeleteFileW(marker.c_str()));
    temp.WriteFile(L"KestroRebootTest.txt", "planted");
    EXPECT_EQ(RunCounted(DeleteOtherFiles, install.Path()), 0u);
    EXPECT_EQ(ReadWholeFile(marker), "planted") << "left in place until the restart";
    EXPECT_EQ(pending.DeletionsOf(marker), 3);
    EXPECT_EQ(ActionLogText(), L"") << "nothing to delete, nothing to report";
}

TEST_F(UninstallCleanupTest, TheAppIdKeyGoesOnlyWithoutSubkeys) {
    appId.Create(L"Keep");
    EXPECT_EQ(RunCounted(DeleteOtherFiles, install.Path()), 0u);
    EXPECT_TRUE(appId.Exists(L"Keep")) << "the registration is not deleted recursively";
}

TEST_F(UninstallCleanupTest, ComIsBalancedWhateverTheCallersApartment) {
    // Not initialised by the caller: the action's own initialisation is undone.
    EXPECT_EQ(RunCounted(DeleteOtherFiles, install.Path()), 0u);
    HRESULT after = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    EXPECT_EQ(after, S_OK) << "no apartment is left behind on the installer's thread";
    // Initialised by the caller in another model: the action's call answers
    // RPC_E_CHANGED_MODE and must not undo the caller's initialisation.
    const auto exactly = Utf16Bytes(std::wstring(ih::cleanup::kProductClassId), false);
    TestWorkItems::Create(L"IhTest product exact", &exactly);
    EXPECT_EQ(RunCounted(DeleteOtherFiles, install.Path()), 0u);
    EXPECT_TRUE(TestWorkItems::Names().empty()) << "the scheduler works in the caller's apartment too";
    EXPECT_EQ(::CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE) << "the caller's apartment is still there";
    ::CoUninitialize();
    if (SUCCEEDED(after)) ::CoUninitialize();
    // Initialised by the caller in the same model: S_FALSE, undone once.
    ASSERT_EQ(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    EXPECT_EQ(RunCounted(DeleteOtherFiles, install.Path()), 0u);
    EXPECT_EQ(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
    ::CoUninitialize();
    ::CoUninitialize();
    EXPECT_EQ(::CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK) << "back to no apartment";
    ::CoUninitialize();
}

TEST_F(UninstallCleanupTest, ForceDeleteFilesRemovesLibrariesKeysAndShortcuts) {
    const ScopedRegistryTree service{HKEY_LOCAL_MACHINE, L"SOFTWARE\\Kestro\\QMXService"};
    const ScopedRegistryTree classic{HKEY_LOCAL_MACHINE, L"SOFTWARE\\Kestro\\BruskNT"};
    const ScopedRegistryTree adapters{HKEY_LOCAL_MACHINE, L"Software\\Kestro\\Corvane\\ManagementAgent\\Adapters"};
    const ScopedRegistryTree user{HKEY_CURRENT_USER, L"SOFTWARE\\Kestro\\Kestro Anti-Virus"};
    const ScopedRegistryTree userOther{HKEY_CURRENT_USER, L"SOFTWARE\\Kestro\\IhTestOther"};
    service.Create(L"ScriptCheck\\Deep");
    classic.Create();
    adapters.Create(L"QMX\\Settings");
    adapters.Create(L"OtherProduct");
    user.Create(L"Settings");
    userOther.Create();
    const std::wstring shortcuts = SpecialFolder(CSIDL_COMMON_STARTMENU) + L"\\Programs\\Kestro\\Kestro Anti-Virus\\";
    RemoveTree(shortcuts);
    WriteAt(shortcuts + L"Kestro Anti-Virus.lnk");

    install.WriteFile(L"msvcr71.dll", "runtime");
    install.WriteFile(L"msvcp71.dll", "runtime in use");
    install.WriteFile(L"readme.txt", "stays until the restart");
    // In use, as by a running process: it cannot go now.
    const ih::UniqueFileHandle inUse(::CreateFileW((install / L"msvcp71.dll").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                   nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(inUse);

    EXPECT_EQ(RunCounted(ForceDeleteFiles, install.Path()), 0u);

    EXPECT_FALSE(FileExists(install / L"msvcr71.dll"));
    EXPECT_TRUE(FileExists(install / L"msvcp71.dll"));
    std::wstring folder = install.Path();
    folder.pop_back();
    EXPECT_EQ(pending.DeletionsOf(install / L"msvcp71.dll"), 1);
    EXPECT_EQ(pending.DeletionsOf(install / L"msvcr71.dll"), 0);
    EXPECT_EQ(pending.DeletionsOf(folder), 1) << "the installation folder, if empty by then";
    EXPECT_EQ(pending.DeletionsOf(folder.substr(0, folder.find_last_of(L'\\'))), 1) << "and its parent";
    EXPECT_FALSE(service.Exists());
    EXPECT_FALSE(classic.Exists()) << "an empty record of the earlier generation goes";
    EXPECT_FALSE(adapters.Exists(L"QMX"));
    EXPECT_TRUE(adapters.Exists(L"OtherProduct"));
    EXPECT_FALSE(user.Exists());
    EXPECT_TRUE(userOther.Exists());
    EXPECT_FALSE(FileExists(shortcuts + L"Kestro Anti-Virus.lnk"));
    EXPECT_FALSE(FileExists(shortcuts)) << "the emptied shortcuts folder is removed";
    EXPECT_EQ(ActionLogText(), Attempt(shortcuts + L".") + Failure(shortcuts + L".", ERROR_ACCESS_DENIED) +
                                   Attempt(shortcuts + L"..") + Failure(shortcuts + L"..", ERROR_ACCESS_DENIED) +
                                   Attempt(shortcuts + L"Kestro Anti-Virus.lnk"));
}

TEST_F(UninstallCleanupTest, ForceDeleteFilesReportsProductKeysItCannotDelete) {
    const ScopedRegistryTree service{HKEY_LOCAL_MACHINE, L"SOFTWARE\\Kestro\\QMXService"};
    const ScopedRegistryTree classic{HKEY_LOCAL_MACHINE, L"SOFTWARE\\Kestro\\BruskNT"};
    const ScopedRegistryTree adapters{HKEY_LOCAL_MACHINE, L"Software\\Kestro\\Corvane\\ManagementAgent\\Adapters"};
    classic.Create(L"Product");
    adapters.Create();
    EXPECT_EQ(RunCounted(ForceDeleteFiles, install.Path()), 0u);
    EXPECT_TRUE(classic.Exists(L"Product")) << "a record with subkeys is kept";
    EXPECT_EQ(ActionLogText(), Line(L"Error deleting QMXService registry key. Returned error was: " +
                                    ih::ActionLog::SystemErrorText(ERROR_FILE_NOT_FOUND)) +
                                   Line(L"Error deleting QMXAdapter registry key. Returned error was: " +
                                        ih::ActionLog::SystemErrorText(ERROR_FILE_NOT_FOUND)));
}

TEST_F(UninstallCleanupTest, DeleteIDEsTakesTheFolderWithOrWithoutItsSeparator) {
    std::wstring bare = install.Path();
    bare.pop_back();
    for (const std::wstring& folder : {install.Path(), bare}) {
        SCOPED_TRACE(folder);
        ::DeleteFileW(logFile.c_str());
        install.WriteFile(L"engine.ide", "engine data");
        install.WriteFile(L"keep.dat", "kept");
        EXPECT_EQ(RunCounted(DeleteIDEs, folder), 0u);
        EXPECT_FALSE(FileExists(install / L"engine.ide"));
        EXPECT_TRUE(FileExists(install / L"keep.dat"));
        EXPECT_EQ(ActionLogText(), Attempt(install / L"engine.ide"));
    }
}

TEST_F(UninstallCleanupTest, FilesThatStayAreReported) {
    install.WriteFile(L"read-only.IDE", "engine data");
    install.WriteFile(L"in-use.IDE", "engine data");
    ASSERT_TRUE(::SetFileAttributesW((install / L"read-only.IDE").c_str(), FILE_ATTRIBUTE_READONLY));
    const ih::UniqueFileHandle inUse(::CreateFileW((install / L"in-use.IDE").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                   nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(inUse);
    EXPECT_EQ(RunCounted(DeleteIDEs, install.Path()), 0u);
    EXPECT_FALSE(FileExists(install / L"read-only.IDE")) << "deleted once its attributes are reset";
    EXPECT_TRUE(FileExists(install / L"in-use.IDE"));
    const std::wstring text = ActionLogText();
    EXPECT_NE(text.find(Attempt(install / L"read-only.IDE")), std::wstring::npos);
    EXPECT_NE(text.find(Attempt(install / L"in-use.IDE") + Failure(install / L"in-use.IDE", ERROR_SHARING_VIOLATION)),
              std::wstring::npos)
        << text.c_str();
    EXPECT_EQ(text.find(L"Error deleting file: " + install / L"read-only.IDE"), std::wstring::npos);
}

TEST_F(UninstallCleanupTest, BadActionDataIsLoggedAndNeverFails) {
    struct Action {
        const char* name;
        ExportedAction run;
        std::wstring unreadable;
        std::wstring empty;
    } const actions[] = {
        {"DeleteOtherFiles", DeleteOtherFiles,
         L"Error getting DeleteOtherFiles custom action data - unable to delete extra files",
         L"Empty string returned from GetProperty inside DeleteOtherFiles. Some files will not be deleted"},
        {"ForceDeleteFiles", ForceDeleteFiles,
         L"Error getting ForceDeleteFiles custom action data - there may be files left over",
         L"An empty string was returned inside ForceDeleteFiles(), there may be files left over"},
        {"DeleteIDEs", DeleteIDEs, L"Error getting DeleteIDEs custom action data - unable to delete extra files",
         L"Empty string returned from GetProperty inside DeleteIDEs. IDEs will not be deleted"},
    };
    for (const Action& action : actions) {
        SCOPED_TRACE(action.name);
        ::DeleteFileW(logFile.c_str());
        EXPECT_EQ(RunCounted(action.run, L""), 0u);
        EXPECT_EQ(ActionLogEntries(), std::vector<std::wstring>{action.empty});
        ::DeleteFileW(logFile.c_str());
        const HandleCountCheck handles;
        EXPECT_EQ(action.run(0), 0u);
        EXPECT_TRUE(handles.Unchanged());
        EXPECT_EQ(ActionLogEntries(), std::vector<std::wstring>{action.unreadable});
    }
    EXPECT_FALSE(FileExists(marker)) << "no marker without data";
}

TEST_F(UninstallCleanupTest, DataThatNamesNoFolderDeletesNothingOutsideIt) {
    // Only delimiters, or thousands of characters: patterns that match nothing.
    install.WriteFile(L"engine.ide", "engine data");
    for (const std::wstring& data : {std::wstring(L"\"\"\""), std::wstring(40000, L'p')}) {
        ::DeleteFileW(logFile.c_str());
        EXPECT_EQ(RunCounted(DeleteIDEs, data), 0u);
        EXPECT_EQ(RunCounted(ForceDeleteFiles, data), 0u);
        EXPECT_TRUE(FileExists(install / L"engine.ide"));
    }
}

} // namespace
