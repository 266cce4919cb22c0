#include "support/HandleCount.h"

#include <windows.h>
#include <winternl.h>

#include <stdexcept>
#include <vector>

namespace ih::test {

namespace {

// The layout of SystemHandleInformation (class 16).
struct HandleEntry {
    ULONG processId;
    BYTE objectType;
    BYTE flags;
    USHORT handle;
    PVOID object;
    ACCESS_MASK access;
};
struct HandleTable {
    ULONG count;
    HandleEntry entries[1];
};
constexpr auto kSystemHandleInformation = static_cast<SYSTEM_INFORMATION_CLASS>(16);
constexpr NTSTATUS kInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004L);

} // namespace

std::size_t ProcessHandleCount() {
    std::vector<unsigned char> buffer(1 << 20);
    for (;;) {
        ULONG needed = 0;
        const NTSTATUS status = ::NtQuerySystemInformation(kSystemHandleInformation, buffer.data(),
                                                           static_cast<ULONG>(buffer.size()), &needed);
        if (status == kInfoLengthMismatch) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (status != 0) throw std::runtime_error("the system handle table cannot be read");
        break;
    }
    const auto* table = reinterpret_cast<const HandleTable*>(buffer.data());
    const ULONG self = ::GetCurrentProcessId();
    std::size_t count = 0;
    for (ULONG i = 0; i < table->count; ++i)
        if (table->entries[i].processId == self) ++count;
    return count;
}

HandleCountCheck::HandleCountCheck() : before_(ProcessHandleCount()) {}

bool HandleCountCheck::Unchanged() const { return ProcessHandleCount() == before_; }

} // namespace ih::test
