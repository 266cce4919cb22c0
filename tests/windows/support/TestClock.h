#pragma once
// A clock for tests: records every pause and wait the code asks for, and
// waits a thousandth of it.

#include "frame/Clock.h"

#include <vector>

namespace ih::test {

class RecordingClock final : public Clock {
public:
    RecordingClock() : scope_(*this) {}

    void Sleep(DWORD milliseconds) override {
        sleeps.push_back(milliseconds);
        ::Sleep(milliseconds / 1000);
    }
    DWORD Wait(HANDLE object, DWORD milliseconds) override {
        waits.push_back(milliseconds);
        return ::WaitForSingleObject(object, milliseconds == INFINITE ? INFINITE : milliseconds / 1000);
    }

    std::vector<DWORD> sleeps;
    std::vector<DWORD> waits;

private:
    ScopedClock scope_;
};

} // namespace ih::test
