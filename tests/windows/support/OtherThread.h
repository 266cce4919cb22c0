#pragma once
// Runs a piece of test code on a thread of its own and waits for it. The
// toolchain's win32 thread model (the one the library ships with) has no
// std::thread, so tests that need a second thread (a mutex seen from another
// owner) use this.

#include <functional>

namespace ih::test {

// Runs `work` on a new thread and returns when it has ended. Throws when the
// thread cannot be started; an exception inside `work` ends the test program.
void RunOnOtherThread(const std::function<void()>& work);

} // namespace ih::test
