#pragma once
// What the driver actions ask of the machine besides its version: its
// processor architecture, and whether this is a 32-bit process on a 64-bit machine.

#include <windows.h>

#include <string>

namespace ih::services {

// Whether this process is a 32-bit one on a 64-bit machine. IsWow64Process is
// looked up at run time (it is missing before XP SP2): no function, no WOW64.
bool RunsUnderWow64();

// The value of an environment variable of this process; empty when unset.
std::wstring ProcessEnvironmentVariable(const wchar_t* name);

// File system redirection off for the calling thread for the scope, when the
// process runs under WOW64, so that the native system folder is reached.
class NativeFileSystemScope {
public:
    NativeFileSystemScope() noexcept;
    NativeFileSystemScope(const NativeFileSystemScope&) = delete;
    NativeFileSystemScope& operator=(const NativeFileSystemScope&) = delete;
    ~NativeFileSystemScope();

private:
    void* previous_ = nullptr;
    bool disabled_ = false;
};

} // namespace ih::services
