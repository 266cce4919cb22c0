#include "services/ServiceControl.h"

#include "frame/ActionLog.h"
#include "frame/Handles.h"

#include <string>

namespace ih::services {

namespace {

UniqueServiceHandle OpenNamedService(SC_HANDLE manager, std::wstring_view name, DWORD access) {
    const std::wstring serviceName(name);
    return UniqueServiceHandle(::OpenServiceW(manager, serviceName.c_str(), access));
}

bool IsInState(SC_HANDLE service, DWORD state) {
    SERVICE_STATUS status{};
    return ::QueryServiceStatus(service, &status) && status.dwCurrentState == state;
}

} // namespace

UINT StartDriverServices(MSIHANDLE /*installation*/) {
    const ActionLog log;
    const UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) {
        log.WriteText(L"Unable to get a handle to the Service Control Manager inside StartDriverServices. THe driver "
                      L"services will not be started until next reboot");
        return ERROR_SUCCESS;
    }
    const UniqueServiceHandle control = OpenNamedService(manager.get(), L"QMXOnAccess control", SERVICE_ALL_ACCESS);
    // A running control driver means the drivers are loaded already.
    if (control && IsInState(control.get(), SERVICE_RUNNING)) return ERROR_SUCCESS;
    if (!control || !::StartServiceW(control.get(), 0, nullptr))
        log.WriteText(L"An error occurred starting the OnAccess Control service - service will not be started until "
                      L"next reboot");
    const UniqueServiceHandle filter = OpenNamedService(manager.get(), L"QMXOnAccess filter", SERVICE_ALL_ACCESS);
    if (!filter || !::StartServiceW(filter.get(), 0, nullptr))
        log.WriteText(L"An error occurred starting the OnAccess Filter service - service will not be started until "
                      L"next reboot");
    return ERROR_SUCCESS;
}

UINT SetServiceXP(MSIHANDLE /*installation*/) {
    const ActionLog log;
    const UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) {
        log.WriteText(L"Unable to get a handle to the Service Control Manager inside CreateService. The Kestro "
                      L"Anti-Virus service cannot be created");
        return ERROR_INSTALL_FAILURE;
    }
    const UniqueServiceHandle service = OpenNamedService(manager.get(), kMainService, GENERIC_ALL);
    if (!service) {
        // Fatal whatever the last error says, 0 included.
        log.Write(L"Unable to get a handle to the Kestro Anti-Virus Service, error returned: %d",
                  static_cast<long>(::GetLastError()));
        return ERROR_INSTALL_FAILURE;
    }
    const std::wstring account(kLocalServiceAccount);
    if (!::ChangeServiceConfigW(service.get(), SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, nullptr,
                                nullptr, nullptr, nullptr, account.c_str(), L"", nullptr)) {
        log.WriteText(L"Unable to change the configuration of the Kestro Anti-Virus Service");
        return ERROR_INSTALL_FAILURE;
    }
    return ERROR_SUCCESS;
}

UINT RollbackDeleteService(MSIHANDLE /*installation*/) {
    const ActionLog log;
    const UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) {
        log.WriteText(L"Unable to get a handle to the Service Control Manager inside RollbackDeleteService. The "
                      L"QMXService service cannot be removed");
        return ERROR_SUCCESS;
    }
    UniqueServiceHandle service = OpenNamedService(manager.get(), kRollbackService, SERVICE_ALL_ACCESS);
    // The product's main service is "QMXService"; the older name is tried first.
    if (!service && ::GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST)
        service = OpenNamedService(manager.get(), kMainService, SERVICE_ALL_ACCESS);
    if (!service) {
        log.WriteText(L"Unable to open the QMXService service - it either cannot be stopped or is not installed");
        return ERROR_SUCCESS;
    }
    SERVICE_STATUS status{};
    if (::QueryServiceStatus(service.get(), &status) && status.dwCurrentState != SERVICE_STOPPED &&
        !::ControlService(service.get(), SERVICE_CONTROL_STOP, &status))
        log.WriteText(L"Unable to stop the QMXService service");
    ::DeleteService(service.get());
    return ERROR_SUCCESS;
}

} // namespace ih::services
