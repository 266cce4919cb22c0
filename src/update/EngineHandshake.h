#pragma once
// The installer's side of the engine update handshake with the product's
// running processes (the engine's clients):
//   - the update mutex serialises updaters on the machine;
//   - this library raises the request event (let go of the engine) and the
//     complete event (a new engine is registered) for all clients;
//   - each client, found as a subkey K of HKLM\SOFTWARE\Kestro\QMXI, raises its
//     own ready and suspended events, named with K at the end, and keeps a
//     presence event while it runs.
// A replacement is ReleaseEngine, the caller's copy, then RegisterEngine; a
// removal is ReleaseEngine alone.

#include "frame/ActionLog.h"

#include <windows.h>

#include <cstdint>
#include <string_view>

namespace ih::update {

inline constexpr std::wstring_view kEngineClientsKey = L"SOFTWARE\\Kestro\\QMXI";
inline constexpr DWORD kEngineWaitTimeout = 240000;
inline constexpr std::wstring_view kEngineLibraryPattern = L"QMXI*.DLL";
inline constexpr std::wstring_view kEngineRegistrationLibrary = L"QMXIREG.DLL";

// Takes the update mutex, unregisters the first engine library found in
// `folder`, makes every client let go of the engine and deletes the engine
// libraries. Always runs every step; the result is 0, the first deletion error
// other than access denied, the handshake's error, or the mutex wait's status
// (-1 when the mutex could not be made, 258 on time-out, 128 when abandoned),
// in that order of precedence. The mutex stays held until RegisterEngine or
// EndEngineUpdate.
std::int32_t ReleaseEngine(std::wstring_view folder, const ActionLog& log);

// Resets the complete event, waits for every client to be ready, raises the
// request event, waits for every client to suspend, and lowers the request
// event. 0, the error of creating the engine's events (nothing is waited
// for then), or the error of the wait that failed.
DWORD NotifyEngineClients(const ActionLog& log);

// Waits for the event `base` + K of every running client K in turn. 0 when
// all were signalled in time; otherwise the wait's outcome (258 on time-out,
// 128 when abandoned) or the error of a failed wait.
DWORD WaitForEngineClients(std::wstring_view base);

// Calls the new engine's registration entry, raises the complete event and
// releases the update mutex. 0, or the error of loading the library or finding
// its entry.
DWORD RegisterEngine(std::wstring_view library);

// Ends an engine update however it went: the update mutex, when still held, is
// released and closed, so no other updater finds it owned by a thread that has
// finished. The complete event is left as it is.
void EndEngineUpdate() noexcept;

// EndEngineUpdate at the end of a scope.
class EngineUpdateScope {
public:
    EngineUpdateScope() = default;
    EngineUpdateScope(const EngineUpdateScope&) = delete;
    EngineUpdateScope& operator=(const EngineUpdateScope&) = delete;
    ~EngineUpdateScope() { EndEngineUpdate(); }
};

} // namespace ih::update
