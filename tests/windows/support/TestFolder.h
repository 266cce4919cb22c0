#pragma once
// Folders and files for one test, removed with their content when it ends.

#include <string>
#include <string_view>

namespace ih::test {

class TestFolder {
public:
    TestFolder();
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;
    ~TestFolder();

    // Full path with a trailing backslash.
    const std::wstring& Path() const noexcept { return path_; }
    std::wstring operator/(std::wstring_view relative) const { return path_ + std::wstring(relative); }

    // Writes `content` to `relative`, creating the folders on the way.
    void WriteFile(std::wstring_view relative, std::string_view content) const;

private:
    std::wstring path_;
};

// Points TMP and TEMP at `folder` for the scope, so the action log of the
// code under test lands there; the previous values come back at the end.
class TemporaryFolderRedirect {
public:
    explicit TemporaryFolderRedirect(const std::wstring& folder);
    TemporaryFolderRedirect(const TemporaryFolderRedirect&) = delete;
    TemporaryFolderRedirect& operator=(const TemporaryFolderRedirect&) = delete;
    ~TemporaryFolderRedirect();

private:
    std::wstring tmp_;
    std::wstring temp_;
    bool hadTmp_;
    bool hadTemp_;
};

bool FileExists(const std::wstring& path);
std::string ReadWholeFile(const std::wstring& path);
void RemoveTree(const std::wstring& path);

} // namespace ih::test
