#pragma once
// The one clock that long pauses and waits go through. The library always
// uses the system's; tests linked with the library's code put a scaled or
// recording clock in its place for the length of a scope. Nothing outside the
// process's own code (no export, variable or setting) can change it.

#include <windows.h>

namespace ih {

class Clock {
public:
    virtual ~Clock() = default;
    virtual void Sleep(DWORD milliseconds) = 0;
    // WaitForSingleObject with the same results; INFINITE waits without limit.
    virtual DWORD Wait(HANDLE object, DWORD milliseconds) = 0;
    // Milliseconds since an arbitrary start, wrapping as GetTickCount does;
    // a bounded poll measures its time with it.
    virtual DWORD TickCount() { return ::GetTickCount(); }
};

Clock& ActiveClock();

// Puts `clock` in place of the active clock until the scope ends.
class ScopedClock {
public:
    explicit ScopedClock(Clock& clock) noexcept;
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;
    ~ScopedClock();

private:
    Clock* previous_;
};

} // namespace ih
