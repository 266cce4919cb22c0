#pragma once
// What the engine tests share: the engine library fixture copied into place,
// the record of its registration calls, and the engine's named objects.

#include "support/Fixtures.h"
#include "support/TestFolder.h"

#include <windows.h>

#include <string>
#include <vector>

namespace ih::test {

// One call of a registration entry of the test engine library.
struct EngineCall {
    std::wstring entry;    // "DllRegisterServer" or "DllUnregisterServer"
    std::wstring fileName; // the library's own file name, e.g. "QMXI0.dll"
    bool operator==(const EngineCall&) const = default;
};

// Points IH_ENGINE_CALLS at a file of `folder` for the scope; Calls() reads it.
class EngineCallRecord {
public:
    explicit EngineCallRecord(const TestFolder& folder);
    ~EngineCallRecord();
    std::vector<EngineCall> Calls() const;
    const std::wstring& Path() const noexcept { return path_; }

private:
    std::wstring path_;
};

// Copies the test engine library (with registration entries) or the plain one
// (without) to `path`.
void PlaceEngine(const std::wstring& path);
void PlacePlainLibrary(const std::wstring& path);

// Whether the named event is signalled now; false when it does not exist.
bool EventIsSet(const std::wstring& name);

// Whether another thread can take the named mutex at once (it is then released again).
bool MutexIsFree(const std::wstring& name);

} // namespace ih::test
