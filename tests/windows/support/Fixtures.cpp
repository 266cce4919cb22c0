#include "support/Fixtures.h"

#include "support/TestFolder.h"

#include <atomic>
#include <cstdlib>
#include <stdexcept>

namespace ih::test {

std::wstring FixturePath(std::wstring_view fileName) {
    wchar_t self[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self, length);
    path.resize(path.find_last_of(L'\\') + 1);
    return path + L"fixtures\\" + std::wstring(fileName);
}

std::wstring BuiltFilePath(const char* variable) {
    const char* unixPath = std::getenv(variable);
    if (!unixPath || !*unixPath) throw std::runtime_error(std::string(variable) + " does not name a built file");
    std::wstring path = L"Z:";
    for (const char* c = unixPath; *c; ++c) path.push_back(*c == '/' ? L'\\' : static_cast<wchar_t>(*c));
    return path;
}

std::wstring Quoted(std::wstring_view argument) { return L"\"" + std::wstring(argument) + L"\""; }

ChildProcess::ChildProcess(const std::wstring& commandLine, const std::wstring& startedEvent, HANDLE standardOutput) {
    UniqueHandle started;
    if (!startedEvent.empty()) started.reset(::CreateEventW(nullptr, TRUE, FALSE, startedEvent.c_str()));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (standardOutput) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = standardOutput;
        startup.hStdError = standardOutput;
        startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    }
    PROCESS_INFORMATION information{};
    std::wstring line = commandLine;
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, standardOutput ? TRUE : FALSE, 0, nullptr, nullptr,
                          &startup, &information))
        throw std::runtime_error("a fixture process did not start: " + std::to_string(::GetLastError()));
    const UniqueHandle thread(information.hThread);
    process_.reset(information.hProcess);
    if (started) {
        HANDLE both[] = {started.get(), process_.get()};
        if (::WaitForMultipleObjects(2, both, FALSE, 20000) != WAIT_OBJECT_0) {
            // The destructor does not run for a constructor that throws: end
            // the process here, or it outlives the test.
            EndIfRunning();
            throw std::runtime_error("a fixture process did not get ready");
        }
    }
}

ChildProcess::~ChildProcess() { EndIfRunning(); }

void ChildProcess::EndIfRunning() const noexcept {
    if (process_ && ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
        ::TerminateProcess(process_.get(), 1);
        ::WaitForSingleObject(process_.get(), 5000);
    }
}

DWORD ChildProcess::Wait(DWORD timeout) const {
    if (::WaitForSingleObject(process_.get(), timeout) != WAIT_OBJECT_0) return STILL_ACTIVE;
    DWORD code = 0;
    ::GetExitCodeProcess(process_.get(), &code);
    return code;
}

std::wstring UniqueEventName(std::wstring_view what) {
    static std::atomic<unsigned> counter{0};
    return L"IhTest-" + std::wstring(what) + L"-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
           std::to_wstring(++counter);
}

std::vector<std::wstring> ReadLines(const std::wstring& path) {
    const std::string bytes = ReadWholeFile(path);
    std::wstring text(bytes.size(), L'\0');
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(),
                                             static_cast<int>(text.size()));
    text.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
    std::vector<std::wstring> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) end = text.size();
        std::wstring line = text.substr(start, end - start);
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

} // namespace ih::test
