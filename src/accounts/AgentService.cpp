#include "accounts/AgentService.h"

#include "frame/Clock.h"
#include "frame/Handles.h"

#include <algorithm>
#include <string>

namespace ih::accounts {

bool RestartAgentService(const ActionLog& log, std::wstring_view serviceName) {
    const UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) {
        log.WriteText(L"Unable to get a handle to the Service Control Manager inside CreateUserGroups. The Kestro "
                      L"Agent service will not be re-started until next reboot");
        return false;
    }
    const std::wstring name(serviceName);
    const UniqueServiceHandle service(::OpenServiceW(manager.get(), name.c_str(), GENERIC_ALL));
    if (!service) {
        log.WriteText(L"Unable to get a handle to the MA Service inside CreateUserGroups. The Kestro Agent service "
                      L"will not be re-started until next reboot");
        return false;
    }
    SERVICE_STATUS status{};
    if (!::ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) {
        log.WriteText(L"Unable to stop the MA Service inside CreateUserGroups. The Kestro Agent service will not be "
                      L"re-started until next reboot");
        return false;
    }

    Clock& clock = ActiveClock();
    const DWORD start = clock.TickCount();
    while (status.dwCurrentState != SERVICE_STOPPED) {
        // A wait hint is the service's own guess and may be anything; one
        // past the limit is the longest sleep that can still be worth it.
        const DWORD elapsed = clock.TickCount() - start;
        const DWORD untilLimit = elapsed > kAgentStopLimit ? 0 : kAgentStopLimit - elapsed + 1;
        clock.Sleep(std::min(status.dwWaitHint, untilLimit));
        if (!::QueryServiceStatus(service.get(), &status)) {
            log.WriteText(L"Error returned from QueryServiceStatus. The Kestro Agent service will not be re-started "
                          L"until next reboot");
            return false;
        }
        if (status.dwCurrentState == SERVICE_STOPPED) break;
        if (clock.TickCount() - start > kAgentStopLimit) {
            log.WriteText(L"Could not stop the MA service. The Kestro Agent service will not be re-started until "
                          L"next reboot");
            return false;
        }
    }

    if (!::StartServiceW(service.get(), 0, nullptr)) {
        log.WriteText(L"Error returned from StartService. The Kestro Agent service will not be re-started until "
                      L"next reboot");
        return false;
    }
    return true;
}

} // namespace ih::accounts
