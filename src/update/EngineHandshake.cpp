#include "update/EngineHandshake.h"

#include "frame/Clock.h"
#include "frame/Handles.h"
#include "frame/LibraryEntry.h"
#include "frame/Paths.h"
#include "frame/Registry.h"
#include "update/EngineObjects.h"

#include <cstdio>
#include <string>

namespace ih::update {

namespace {

// Client subkey names are read into 261 characters (names up to 260).
constexpr DWORD kClientNameCapacity = 261;

// Every engine library in `folder` except the registration helper, in search
// order; `visit` returns false to stop.
template <typename Visit>
void ForEachEngineLibrary(std::wstring_view folder, Visit&& visit) {
    WIN32_FIND_DATAW found{};
    UniqueFindHandle find(::FindFirstFileW(JoinPath(folder, kEngineLibraryPattern).c_str(), &found));
    if (!find) return;
    do {
        if (::lstrcmpiW(found.cFileName, std::wstring(kEngineRegistrationLibrary).c_str()) == 0) continue;
        if (!visit(JoinPath(folder, found.cFileName))) return;
    } while (::FindNextFileW(find.get(), &found));
}

void WriteProgress(const char* line) {
    std::fputs(line, stdout);
    std::fflush(stdout);
}

bool EventExists(const std::wstring& name) {
    return UniqueHandle(::OpenEventW(SYNCHRONIZE, FALSE, name.c_str())).get() != nullptr;
}

} // namespace

std::int32_t ReleaseEngine(std::wstring_view folder, const ActionLog& log) {
    EngineObjects& engine = Engine();

    std::int32_t mutexStatus = -1;
    if (!engine.updateMutex)
        engine.updateMutex.reset(::CreateMutexW(engine.Attributes(), FALSE, engine.Names().updateMutex.c_str()));
    if (!engine.updateMutex) {
        log.WriteText(L"Error creating QMXI mutex - unable to uninstall QMXI properly");
    } else {
        mutexStatus = static_cast<std::int32_t>(ActiveClock().Wait(engine.updateMutex.get(), kEngineWaitTimeout));
    }
    if (mutexStatus != 0) log.Write(L"Unexpected value for MutexStatus, value: %d", mutexStatus);

    // Only the first engine library found is unregistered.
    ForEachEngineLibrary(folder, [](const std::wstring& path) {
        CallLibraryEntry(path, "DllUnregisterServer");
        return false;
    });

    const DWORD notifyResult = NotifyEngineClients(log);
    if (notifyResult != ERROR_SUCCESS)
        log.Write(L"Signal to drop engine failed with error: %s", ActionLog::SystemErrorText(notifyResult));

    DWORD deleteResult = ERROR_SUCCESS;
    ForEachEngineLibrary(folder, [&deleteResult](const std::wstring& path) {
        if (::DeleteFileW(path.c_str())) return true;
        const DWORD error = ::GetLastError();
        if (error == ERROR_ACCESS_DENIED) return true; // still loaded somewhere: left for the next update
        deleteResult = error;
        return false;
    });

    if (deleteResult != ERROR_SUCCESS) return static_cast<std::int32_t>(deleteResult);
    if (notifyResult != ERROR_SUCCESS) return static_cast<std::int32_t>(notifyResult);
    // The mutex handle is kept (not closed here): while this updater holds it
    // the mutex exists, so a second updater waits instead of creating a fresh one.
    return mutexStatus;
}

DWORD NotifyEngineClients(const ActionLog& log) {
    EngineObjects& engine = Engine();
    const std::wstring& ready = engine.Names().readyBase;
    const std::wstring& suspended = engine.Names().suspendedBase;
    DWORD result = ERROR_SUCCESS;

    // Without its events the handshake cannot be held: no client would ever
    // hear the request, and each would be waited for in vain.
    if (engine.EventsError() != ERROR_SUCCESS) return engine.EventsError();

    ::ResetEvent(engine.CompleteEvent());
    log.Write(L"About to wait for event %s", ready);
    result = WaitForEngineClients(ready);
    if (result != ERROR_SUCCESS) {
        log.Write(L"Failed to wait for event %s", ready);
    } else {
        log.Write(L"Successfully waited for event %s", ready);
        WriteProgress("Ready for update\n");
        ::SetEvent(engine.RequestEvent());

        log.Write(L"About to wait for event %s", suspended);
        result = WaitForEngineClients(suspended);
        if (result == ERROR_SUCCESS) {
            log.Write(L"Successfully waited for event %s", suspended);
            WriteProgress("Suspended\n");
        } else {
            log.Write(L"Failed to wait for event %s", suspended);
        }
    }
    ::ResetEvent(engine.RequestEvent());
    return result;
}

DWORD WaitForEngineClients(std::wstring_view base) {
    const EngineNames& names = Engine().Names();
    RegistryKey clients;
    if (OpenRegistryKey(clients, HKEY_LOCAL_MACHINE, kEngineClientsKey, KEY_ENUMERATE_SUB_KEYS) != ERROR_SUCCESS)
        return ERROR_SUCCESS; // no clients

    for (DWORD index = 0;; ++index) {
        wchar_t client[kClientNameCapacity] = {};
        DWORD length = kClientNameCapacity;
        if (::RegEnumKeyExW(clients.get(), index, client, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        const std::wstring_view clientName(client, length);
        // A client without its presence event is not running.
        if (!EventExists(names.presenceBase + std::wstring(clientName))) continue;
        const UniqueHandle event(
            ::OpenEventW(SYNCHRONIZE, FALSE, (std::wstring(base) + std::wstring(clientName)).c_str()));
        if (!event) continue;
        const DWORD outcome = ActiveClock().Wait(event.get(), kEngineWaitTimeout);
        if (outcome == WAIT_FAILED) return ::GetLastError();
        if (outcome != WAIT_OBJECT_0) return outcome; // 258 on time-out, 128 abandoned
    }
    return ERROR_SUCCESS;
}

DWORD RegisterEngine(std::wstring_view library) {
    EngineObjects& engine = Engine();
    const DWORD result = CallLibraryEntry(library, "DllRegisterServer");
    ::SetEvent(engine.CompleteEvent());
    EndEngineUpdate();
    return result;
}

void EndEngineUpdate() noexcept {
    try {
        EngineObjects& engine = Engine();
        if (!engine.updateMutex) return;
        ::ReleaseMutex(engine.updateMutex.get());
        engine.updateMutex.reset();
    } catch (...) {
        // Without engine objects no mutex was ever taken.
    }
}

} // namespace ih::update
