#pragma once
// Counts the kernel handles (files, events, processes, registry keys, find
// handles) the test process holds, to prove an action released all it took.
// GetProcessHandleCount answers 0 under Wine, so the count comes from the
// system handle table.

#include <cstddef>

namespace ih::test {

std::size_t ProcessHandleCount();

// Records the count when built; Unchanged() compares it with the count now.
class HandleCountCheck {
public:
    HandleCountCheck();
    bool Unchanged() const;
    std::size_t Before() const noexcept { return before_; }

private:
    std::size_t before_;
};

} // namespace ih::test
