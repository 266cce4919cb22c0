#pragma once
// An in-process COM server registered for one test, in this process's own
// registry view (a 32-bit test process registers under Wow6432Node, where its
// COM looks). A class the prefix already had gets its registration back.

#include <string>

namespace ih::test {

class ScopedInprocServer {
public:
    // `clsid` in braces; `dll` the server's full path.
    ScopedInprocServer(std::wstring clsid, const std::wstring& dll);
    ScopedInprocServer(const ScopedInprocServer&) = delete;
    ScopedInprocServer& operator=(const ScopedInprocServer&) = delete;
    ~ScopedInprocServer();

private:
    std::wstring key_;
    bool existed_ = false;
    std::wstring previousServer_;
    std::wstring previousModel_;
};

// Removes any registration of `clsid` (a class the test prefix never has).
void RemoveClassRegistration(const std::wstring& clsid);

// Whether COM is initialised on the calling thread (asked without changing it).
bool ComInitialisedOnThisThread();

} // namespace ih::test
