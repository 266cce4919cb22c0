#include "support/TestFolder.h"

#include <windows.h>

#include <atomic>
#include <stdexcept>

namespace ih::test {

namespace {

std::wstring RealTempFolder() {
    wchar_t buffer[MAX_PATH + 1] = {};
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, buffer);
    if (length == 0 || length > MAX_PATH) throw std::runtime_error("no temporary folder");
    return std::wstring(buffer, length);
}

void CreateFolders(const std::wstring& path) {
    for (std::size_t i = 3; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == L'\\') ::CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
    }
}

bool ReadVariable(const wchar_t* name, std::wstring& value) {
    wchar_t buffer[32768];
    const DWORD length = ::GetEnvironmentVariableW(name, buffer, 32768);
    if (length == 0 || length >= 32768) return false;
    value.assign(buffer, length);
    return true;
}

} // namespace

TestFolder::TestFolder() {
    static std::atomic<unsigned> counter{0};
    // The real temporary folder, read once: tests may redirect TMP later.
    static const std::wstring base = RealTempFolder();
    path_ = base + L"ih-test-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(++counter) + L"\\";
    RemoveTree(path_);
    CreateFolders(path_);
}

TestFolder::~TestFolder() { RemoveTree(path_); }

void TestFolder::WriteFile(std::wstring_view relative, std::string_view content) const {
    const std::wstring full = path_ + std::wstring(relative);
    const std::size_t slash = full.find_last_of(L'\\');
    CreateFolders(full.substr(0, slash));
    ::SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
    HANDLE file = ::CreateFileW(full.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot create a test file");
    DWORD written = 0;
    const BOOL ok = ::WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    ::CloseHandle(file);
    if (!ok || written != content.size()) throw std::runtime_error("cannot write a test file");
}

TemporaryFolderRedirect::TemporaryFolderRedirect(const std::wstring& folder)
    : hadTmp_(ReadVariable(L"TMP", tmp_)), hadTemp_(ReadVariable(L"TEMP", temp_)) {
    ::SetEnvironmentVariableW(L"TMP", folder.c_str());
    ::SetEnvironmentVariableW(L"TEMP", folder.c_str());
}

TemporaryFolderRedirect::~TemporaryFolderRedirect() {
    ::SetEnvironmentVariableW(L"TMP", hadTmp_ ? tmp_.c_str() : nullptr);
    ::SetEnvironmentVariableW(L"TEMP", hadTemp_ ? temp_.c_str() : nullptr);
}

bool FileExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ReadWholeFile(const std::wstring& path) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string content;
    char chunk[4096];
    DWORD read = 0;
    while (::ReadFile(file, chunk, sizeof chunk, &read, nullptr) && read > 0) content.append(chunk, read);
    ::CloseHandle(file);
    return content;
}

void RemoveTree(const std::wstring& path) {
    std::wstring folder = path;
    if (!folder.empty() && folder.back() == L'\\') folder.pop_back();
    WIN32_FIND_DATAW found;
    HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring child = folder + L"\\" + name;
            ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(child);
            else
                ::DeleteFileW(child.c_str());
        } while (::FindNextFileW(find, &found));
        ::FindClose(find);
    }
    ::RemoveDirectoryW(folder.c_str());
}

} // namespace ih::test
