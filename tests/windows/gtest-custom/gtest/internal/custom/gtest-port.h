#pragma once
// GoogleTest's customisation point, found before its own (empty) one.
// The library and its tests are built with the win32 thread model, whose
// runtime has no std::mutex or std::condition_variable; GoogleTest needs them
// only for its Notification, so that one class is supplied here on a Win32
// event instead.

#include <windows.h>

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing::internal {

class Notification {
public:
    Notification() : event_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;
    ~Notification() {
        if (event_) ::CloseHandle(event_);
    }
    void Notify() { ::SetEvent(event_); }
    void WaitForNotification() { ::WaitForSingleObject(event_, INFINITE); }

private:
    HANDLE event_;
};

} // namespace testing::internal
