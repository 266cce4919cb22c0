#pragma once
// The restart of the product's management agent service after its groups
// changed, so that it picks the new memberships up.

#include "frame/ActionLog.h"

#include <windows.h>

#include <string_view>

namespace ih::accounts {

inline constexpr wchar_t kAgentServiceName[] = L"Kestro Agent";
// How long the agent may take to stop before it is left alone.
inline constexpr DWORD kAgentStopLimit = 10000;

// Stops the service and starts it again; logs why it could not and answers
// false then. The stop poll sleeps for the service's wait hint, but never
// past the limit.
bool RestartAgentService(const ActionLog& log, std::wstring_view serviceName = kAgentServiceName);

} // namespace ih::accounts
