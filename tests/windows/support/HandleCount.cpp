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

std::map<int, std::size_t> ProcessHandlesByType() {
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
    std::map<int, std::size_t> counts;
    for (ULONG i = 0; i < table->count; ++i)
        if (table->entries[i].processId == self) ++counts[table->entries[i].objectType];
    return counts;
}

std::size_t ProcessHandleCount() {
    std::size_t count = 0;
    for (const auto& [type, number] : ProcessHandlesByType()) count += number;
    return count;
}

HandleCountCheck::HandleCountCheck() : before_(ProcessHandlesByType()) {}

testing::AssertionResult HandleCountCheck::Unchanged() const {
    const std::map<int, std::size_t> now = ProcessHandlesByType();
    if (now == before_) return testing::AssertionSuccess();
    testing::AssertionResult failure = testing::AssertionFailure();
    failure << "handles per object type changed:";
    std::map<int, std::size_t> all = before_;
    all.insert(now.begin(), now.end());
    for (const auto& [type, unused] : all) {
        const auto was = before_.count(type) ? before_.at(type) : 0;
        const auto is = now.count(type) ? now.at(type) : 0;
        if (was != is) failure << " type " << type << ": " << was << " -> " << is << ";";
    }
    return failure;
}

} // namespace ih::test
