#include "support/OtherThread.h"

#include "frame/Handles.h"

#include <windows.h>

#include <stdexcept>

namespace ih::test {

namespace {

DWORD WINAPI RunWork(void* work) {
    (*static_cast<const std::function<void()>*>(work))();
    return 0;
}

} // namespace

void RunOnOtherThread(const std::function<void()>& work) {
    const UniqueHandle thread(
        ::CreateThread(nullptr, 0, RunWork, const_cast<std::function<void()>*>(&work), 0, nullptr));
    if (!thread) throw std::runtime_error("a second thread cannot be started");
    ::WaitForSingleObject(thread.get(), INFINITE);
}

} // namespace ih::test
