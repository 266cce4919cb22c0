#include "services/Platform.h"

namespace ih::services {

namespace {

template <typename Function>
Function Kernel32Function(const char* name) {
    // kernel32 is in every process: nothing is loaded here.
    const HMODULE kernel32 = ::GetModuleHandleW(L"KERNEL32.DLL");
    if (!kernel32) return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(kernel32, name)));
}

using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE, PBOOL);
using DisableRedirectionFunction = BOOL(WINAPI*)(PVOID*);
using RevertRedirectionFunction = BOOL(WINAPI*)(PVOID);

} // namespace

bool RunsUnderWow64() {
    const auto isWow64Process = Kernel32Function<IsWow64ProcessFunction>("IsWow64Process");
    BOOL wow64 = FALSE;
    return isWow64Process && isWow64Process(::GetCurrentProcess(), &wow64) && wow64;
}

std::wstring ProcessEnvironmentVariable(const wchar_t* name) {
    std::wstring value(64, L'\0');
    for (;;) {
        const DWORD length = ::GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
        if (length == 0) return {};
        if (length < value.size()) {
            value.resize(length);
            return value;
        }
        value.assign(length, L'\0');
    }
}

NativeFileSystemScope::NativeFileSystemScope() noexcept {
    if (!RunsUnderWow64()) return;
    const auto disable = Kernel32Function<DisableRedirectionFunction>("Wow64DisableWow64FsRedirection");
    disabled_ = disable && disable(&previous_);
}

NativeFileSystemScope::~NativeFileSystemScope() {
    if (!disabled_) return;
    if (const auto revert = Kernel32Function<RevertRedirectionFunction>("Wow64RevertWow64FsRedirection"))
        revert(previous_);
}

} // namespace ih::services
