#pragma once
// A clock for tests: records every pause and wait the code asks for, and
// waits a thousandth of it.

#include "frame/Clock.h"

#include <algorithm>
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

// Records the waits asked for and waits for real up to 20 s, so that a quick
// program is seen to finish; the recording clock (a thousandth) plays one
// that hangs.
class PatientClock final : public Clock {
public:
    PatientClock() : scope_(*this) {}

    void Sleep(DWORD milliseconds) override { ::Sleep(std::min<DWORD>(milliseconds, 20000)); }
    DWORD Wait(HANDLE object, DWORD milliseconds) override {
        waits.push_back(milliseconds);
        return ::WaitForSingleObject(object, std::min<DWORD>(milliseconds, 20000));
    }

    std::vector<DWORD> waits;

private:
    ScopedClock scope_;
};

} // namespace ih::test
