#pragma once
// The renames and deletions the platform is to make at the next restart (the
// session manager's "PendingFileRenameOperations"), as a test sees them: what
// the value held when the scope began comes back when it ends.

#include <string>
#include <vector>

namespace ih::test {

class PendingRestartOperations {
public:
    PendingRestartOperations();
    PendingRestartOperations(const PendingRestartOperations&) = delete;
    PendingRestartOperations& operator=(const PendingRestartOperations&) = delete;
    ~PendingRestartOperations();

    // How many times the value now asks for `path` to be deleted at restart.
    int DeletionsOf(const std::wstring& path) const;

private:
    bool existed_ = false;
    std::vector<wchar_t> before_;
};

} // namespace ih::test
