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

std::map<int, long> HandleCountCheck::Change() const {
    const std::map<int, std::size_t> now = ProcessHandlesByType();
    std::map<int, std::size_t> all = before_;
    all.insert(now.begin(), now.end());
    std::map<int, long> change;
    for (const auto& [type, unused] : all) {
        const auto was = before_.count(type) ? before_.at(type) : 0;
        const auto is = now.count(type) ? now.at(type) : 0;
        if (was != is) change[type] = static_cast<long>(is) - static_cast<long>(was);
    }
    return change;
}

testing::AssertionResult HandleCountCheck::Unchanged() const { return ChangedBy({}, 0); }

testing::AssertionResult HandleCountCheck::ChangedBy(const std::map<int, long>& perCycle, long cycles) const {
    std::map<int, long> expected;
    for (const auto& [type, count] : perCycle)
        if (count * cycles != 0) expected[type] = count * cycles;
    const std::map<int, long> change = Change();
    if (change == expected) return testing::AssertionSuccess();
    testing::AssertionResult failure = testing::AssertionFailure();
    failure << "handles per object type changed:";
    for (const auto& [type, count] : change)
        failure << " type " << type << ": " << (count > 0 ? "+" : "") << count << ";";
    if (change.empty()) failure << " none;";
    failure << " expected:";
    for (const auto& [type, count] : expected) failure << " type " << type << ": +" << count << ";";
    if (expected.empty()) failure << " none";
    return failure;
}

} // namespace ih::test
