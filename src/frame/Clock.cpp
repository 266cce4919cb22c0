#include "frame/Clock.h"

namespace ih {

namespace {

class SystemClock final : public Clock {
public:
    void Sleep(DWORD milliseconds) override { ::Sleep(milliseconds); }
    DWORD Wait(HANDLE object, DWORD milliseconds) override { return ::WaitForSingleObject(object, milliseconds); }
};

SystemClock systemClock;
Clock* activeClock = &systemClock;

} // namespace

Clock& ActiveClock() { return *activeClock; }

ScopedClock::ScopedClock(Clock& clock) noexcept : previous_(activeClock) { activeClock = &clock; }

ScopedClock::~ScopedClock() { activeClock = previous_; }

} // namespace ih
