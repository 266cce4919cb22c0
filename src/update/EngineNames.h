#pragma once
// The names of the engine's update mutex and events, shared with the engine's
// client processes.

#include <string>
#include <string_view>

namespace ih::update {

inline constexpr std::wstring_view kGlobalNamespace = L"Global\\";
inline constexpr std::wstring_view kUpdateMutexBase = L"!$_QMXI_!$$!_EVENT_$!__UpdateMutex";
inline constexpr std::wstring_view kRequestEventBase = L"!$_QMXI_!$$!_EVENT_$!__UpdateRequest";
inline constexpr std::wstring_view kCompleteEventBase = L"!$_QMXI_!$$!_EVENT_$!__UpdateComplete";
inline constexpr std::wstring_view kReadyEventBase = L"!$_QMXI_!$$!_EVENT_$!__ReadyForUpdate";
inline constexpr std::wstring_view kSuspendedEventBase = L"!$_QMXI_!$$!_EVENT_$!__Suspended";
inline constexpr std::wstring_view kPresenceEventBase = L"!$_QMXI_!$$!_EVENT_$!__";

// Full names; a client's own events append its registry subkey name to the
// ready, suspended and presence names.
struct EngineNames {
    std::wstring updateMutex;
    std::wstring requestEvent;
    std::wstring completeEvent;
    std::wstring readyBase;
    std::wstring suspendedBase;
    std::wstring presenceBase;
};

// With Terminal Services the objects live in the global namespace, where
// every session's clients see them.
EngineNames MakeEngineNames(bool terminalServices);

} // namespace ih::update
