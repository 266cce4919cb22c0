#include "support/EngineTestSupport.h"

#include "frame/Handles.h"
#include "support/OtherThread.h"

#include <stdexcept>

namespace ih::test {

EngineCallRecord::EngineCallRecord(const TestFolder& folder) : path_(folder / L"engine-calls.txt") {
    ::DeleteFileW(path_.c_str());
    ::SetEnvironmentVariableW(L"IH_ENGINE_CALLS", path_.c_str());
}

EngineCallRecord::~EngineCallRecord() { ::SetEnvironmentVariableW(L"IH_ENGINE_CALLS", nullptr); }

std::vector<EngineCall> EngineCallRecord::Calls() const {
    std::vector<EngineCall> calls;
    for (const std::wstring& line : ReadLines(path_)) {
        // "ENTRY PID PATH"
        const std::size_t first = line.find(L' ');
        const std::size_t second = line.find(L' ', first + 1);
        if (first == std::wstring::npos || second == std::wstring::npos) continue;
        const std::wstring path = line.substr(second + 1);
        if (path == L"done") continue;
        calls.push_back({line.substr(0, first), path.substr(path.find_last_of(L'\\') + 1)});
    }
    return calls;
}

void PlaceEngine(const std::wstring& path) {
    if (!::CopyFileW(FixturePath(L"TestEngine.dll").c_str(), path.c_str(), FALSE))
        throw std::runtime_error("the test engine cannot be placed");
}

void PlacePlainLibrary(const std::wstring& path) {
    if (!::CopyFileW(FixturePath(L"PlainLibrary.dll").c_str(), path.c_str(), FALSE))
        throw std::runtime_error("the plain library cannot be placed");
}

bool EventIsSet(const std::wstring& name) {
    const UniqueHandle event(::OpenEventW(SYNCHRONIZE, FALSE, name.c_str()));
    return event && ::WaitForSingleObject(event.get(), 0) == WAIT_OBJECT_0;
}

bool MutexIsFree(const std::wstring& name) {
    bool free = false;
    RunOnOtherThread([&] {
        const UniqueHandle mutex(::OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, name.c_str()));
        if (!mutex) {
            free = true; // nobody holds what does not exist
            return;
        }
        const DWORD outcome = ::WaitForSingleObject(mutex.get(), 0);
        free = outcome == WAIT_OBJECT_0 || outcome == WAIT_ABANDONED;
        if (free) ::ReleaseMutex(mutex.get());
    });
    return free;
}

} // namespace ih::test
