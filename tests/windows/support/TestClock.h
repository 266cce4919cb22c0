#pragma once
// A clock for tests: records every pause and wait the code asks for, and
// waits a thousandth of it (or the fraction given).

#include "frame/Clock.h"

#include <algorithm>
#include <vector>

namespace ih::test {

class RecordingClock final : public Clock {
public:
    explicit RecordingClock(DWORD divisor = 1000) : divisor_(divisor), scope_(*this) {}

    void Sleep(DWORD milliseconds) override {
        sleeps.push_back(milliseconds);
        ::Sleep(milliseconds / divisor_);
    }
    DWORD Wait(HANDLE object, DWORD milliseconds) override {
        waits.push_back(milliseconds);
        return ::WaitForSingleObject(object, milliseconds == INFINITE ? INFINITE : milliseconds / divisor_);
    }

    std::vector<DWORD> sleeps;
    std::vector<DWORD> waits;

private:
    DWORD divisor_;
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

namespace ih::test {

// A clock whose time moves by what is slept: each sleep advances it by the
// milliseconds asked and really waits a tenth of them, so a bounded poll of
// seconds runs in a fraction of that.
class SteppingClock final : public Clock {
public:
    SteppingClock() : scope_(*this) {}

    void Sleep(DWORD milliseconds) override {
        sleeps.push_back(milliseconds);
        now_ += milliseconds;
        ::Sleep(milliseconds / 10);
    }
    DWORD Wait(HANDLE object, DWORD milliseconds) override { return ::WaitForSingleObject(object, milliseconds); }
    DWORD TickCount() override { return now_; }

    std::vector<DWORD> sleeps;

private:
    DWORD now_ = 0x7FFFF000; // near a wrap of the upper half, to show the difference is taken unsigned
    ScopedClock scope_;
};

} // namespace ih::test
