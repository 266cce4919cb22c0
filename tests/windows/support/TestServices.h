#pragma once
// Services that belong to one test: any service of the name is stopped and
// deleted when the test starts and again when it ends, and a fixture process
// that has not stopped 2 s after the stop request is ended.

#include "frame/Handles.h"

#include <windows.h>

#include <string>
#include <string_view>

namespace ih::test {

struct ServiceConfiguration {
    DWORD type = 0;
    DWORD startType = 0;
    DWORD errorControl = 0;
    std::wstring binaryPath;
    std::wstring loadOrderGroup;
    std::wstring account;
    std::wstring displayName;
};

class ScopedService {
public:
    explicit ScopedService(std::wstring name);
    ScopedService(const ScopedService&) = delete;
    ScopedService& operator=(const ScopedService&) = delete;
    ~ScopedService();

    // Registers a user-mode service that runs the test_service fixture with
    // `options` (see fixtures/TestService.cpp), started on demand.
    void CreateUserMode(std::wstring_view options = {}) const;
    // Registers a file-system driver service for `binaryPath`; starting it
    // fails under Wine.
    void CreateDriver(const std::wstring& binaryPath) const;
    // Starts the service and waits (up to 10 s) until it runs.
    void Start();
    // Removes the service now, as the end of the test would.
    void Remove();

    // The current state (SERVICE_RUNNING ...), 0 when the service does not exist.
    DWORD State() const;
    // The id of the service's running process, 0 when it has none.
    DWORD ProcessId() const;
    bool Exists() const;
    // Waits (up to 10 s) until the service no longer exists.
    bool WaitUntilGone() const;
    ServiceConfiguration Configuration() const;
    const std::wstring& Name() const noexcept { return name_; }

private:
    std::wstring name_;
    // The process Start() saw, ended too should the service be gone before it.
    UniqueHandle started_;
};

// Stops a service if it runs, ends its process when that is still running 2 s
// after the stop request, deletes the service and waits until it is gone.
// `alsoEnd` is a process of the service's that is ended the same way.
void RemoveService(const std::wstring& name, HANDLE alsoEnd = nullptr);

} // namespace ih::test
