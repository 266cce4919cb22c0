#pragma once
// Counts the kernel handles (files, events, processes, registry keys, find
// handles) the test process holds, to prove an action released all it took.
// GetProcessHandleCount answers 0 under Wine, so the count comes from the
// system handle table.

#include <gtest/gtest.h>

#include <cstddef>
#include <map>
#include <string>

namespace ih::test {

// Handles this process holds, per object type number of the system table.
std::map<int, std::size_t> ProcessHandlesByType();
std::size_t ProcessHandleCount();

// Records the count when built; Unchanged() compares it with the count now.
class HandleCountCheck {
public:
    HandleCountCheck();
    // Compares with the count now; use in EXPECT_TRUE, whose message shows
    // which object types changed.
    testing::AssertionResult Unchanged() const;
    // Compares the change since construction, per object type, with
    // `perCycle` taken `cycles` times (the product DLL's per-load cost).
    testing::AssertionResult ChangedBy(const std::map<int, long>& perCycle, long cycles) const;
    // The change since construction, per object type (types that changed only).
    std::map<int, long> Change() const;

private:
    std::map<int, std::size_t> before_;
};

} // namespace ih::test
