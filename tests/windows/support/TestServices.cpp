#include "support/TestServices.h"

#include "frame/Handles.h"
#include "support/Fixtures.h"

#include <stdexcept>
#include <vector>

namespace ih::test {

namespace {

UniqueServiceHandle Manager() { return UniqueServiceHandle(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS)); }

UniqueServiceHandle Open(SC_HANDLE manager, const std::wstring& name) {
    return UniqueServiceHandle(::OpenServiceW(manager, name.c_str(), SERVICE_ALL_ACCESS));
}

DWORD StateOf(SC_HANDLE service) {
    SERVICE_STATUS status{};
    return ::QueryServiceStatus(service, &status) ? status.dwCurrentState : 0;
}

DWORD ProcessIdOf(SC_HANDLE service) {
    SERVICE_STATUS_PROCESS status{};
    DWORD size = 0;
    return ::QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof status,
                                  &size)
               ? status.dwProcessId
               : 0;
}

void Create(const std::wstring& name, DWORD type, DWORD start, const std::wstring& binaryPath, const wchar_t* group) {
    const UniqueServiceHandle manager = Manager();
    const UniqueServiceHandle service(::CreateServiceW(manager.get(), name.c_str(), name.c_str(), SERVICE_ALL_ACCESS,
                                                       type, start, SERVICE_ERROR_NORMAL, binaryPath.c_str(), group,
                                                       nullptr, nullptr, nullptr, nullptr));
    if (!service) throw std::runtime_error("a test service cannot be created: " + std::to_string(::GetLastError()));
}

} // namespace

void RemoveService(const std::wstring& name, HANDLE alsoEnd) {
    const UniqueServiceHandle manager = Manager();
    {
        const UniqueServiceHandle service = Open(manager.get(), name);
        UniqueHandle process;
        if (service) {
            if (const DWORD id = ProcessIdOf(service.get()))
                process.reset(::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, id));
            SERVICE_STATUS status{};
            if (StateOf(service.get()) != SERVICE_STOPPED)
                ::ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
        }
        // One deadline for both: a fixture told to ignore the request or to
        // stay stop-pending is ended rather than waited for.
        const DWORD start = ::GetTickCount();
        for (const HANDLE each : {process.get(), alsoEnd}) {
            if (!each) continue;
            const DWORD elapsed = ::GetTickCount() - start;
            if (::WaitForSingleObject(each, elapsed < 2000 ? 2000 - elapsed : 0) == WAIT_TIMEOUT) {
                ::TerminateProcess(each, 1);
                ::WaitForSingleObject(each, 5000);
            }
        }
        if (!service) return;
        ::DeleteService(service.get());
    }
    for (int i = 0; i < 100; ++i) {
        if (!Open(manager.get(), name)) return;
        ::Sleep(100);
    }
}

ScopedService::ScopedService(std::wstring name) : name_(std::move(name)) { RemoveService(name_); }

ScopedService::~ScopedService() { Remove(); }

void ScopedService::Remove() {
    RemoveService(name_, started_.get());
    started_.reset();
}

void ScopedService::CreateUserMode(std::wstring_view options) const {
    std::wstring command = Quoted(FixturePath(L"test_service.exe")) + L" " + Quoted(name_);
    if (!options.empty()) command += L" " + std::wstring(options);
    Create(name_, SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, command, nullptr);
}

void ScopedService::CreateDriver(const std::wstring& binaryPath) const {
    Create(name_, SERVICE_FILE_SYSTEM_DRIVER, SERVICE_SYSTEM_START, binaryPath, L"AntiVirus");
}

void ScopedService::Start() {
    const UniqueServiceHandle manager = Manager();
    const UniqueServiceHandle service = Open(manager.get(), name_);
    if (!service || !::StartServiceW(service.get(), 0, nullptr))
        throw std::runtime_error("a test service cannot be started: " + std::to_string(::GetLastError()));
    for (int i = 0; i < 100 && StateOf(service.get()) != SERVICE_RUNNING; ++i) ::Sleep(100);
    if (const DWORD id = ProcessIdOf(service.get()))
        started_.reset(::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, id));
    if (StateOf(service.get()) != SERVICE_RUNNING) throw std::runtime_error("a test service did not start");
}

DWORD ScopedService::State() const {
    const UniqueServiceHandle manager = Manager();
    const UniqueServiceHandle service = Open(manager.get(), name_);
    return service ? StateOf(service.get()) : 0;
}

DWORD ScopedService::ProcessId() const {
    const UniqueServiceHandle manager = Manager();
    const UniqueServiceHandle service = Open(manager.get(), name_);
    return service ? ProcessIdOf(service.get()) : 0;
}

bool ScopedService::Exists() const {
    const UniqueServiceHandle manager = Manager();
    return static_cast<bool>(Open(manager.get(), name_));
}

bool ScopedService::WaitUntilGone() const {
    for (int i = 0; i < 100; ++i) {
        if (!Exists()) return true;
        ::Sleep(100);
    }
    return false;
}

ServiceConfiguration ScopedService::Configuration() const {
    const UniqueServiceHandle manager = Manager();
    const UniqueServiceHandle service = Open(manager.get(), name_);
    DWORD needed = 0;
    ::QueryServiceConfigW(service.get(), nullptr, 0, &needed);
    std::vector<unsigned char> buffer(needed + sizeof(QUERY_SERVICE_CONFIGW));
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    if (!service || !::QueryServiceConfigW(service.get(), config, static_cast<DWORD>(buffer.size()), &needed))
        throw std::runtime_error("a test service's configuration cannot be read");
    const auto text = [](const wchar_t* value) { return value ? std::wstring(value) : std::wstring(); };
    return {config->dwServiceType,          config->dwStartType,
            config->dwErrorControl,         text(config->lpBinaryPathName),
            text(config->lpLoadOrderGroup), text(config->lpServiceStartName),
            text(config->lpDisplayName)};
}

} // namespace ih::test
