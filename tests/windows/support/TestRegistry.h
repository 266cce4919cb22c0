#pragma once
// A registry tree that belongs to one test: removed when the test starts and
// again when it ends.

#include <windows.h>

#include <string>

namespace ih::test {

class ScopedRegistryTree {
public:
    ScopedRegistryTree(HKEY root, std::wstring path);
    ScopedRegistryTree(const ScopedRegistryTree&) = delete;
    ScopedRegistryTree& operator=(const ScopedRegistryTree&) = delete;
    ~ScopedRegistryTree();

    // Creates `relative` (empty: the tree's own key) below the tree.
    void Create(const std::wstring& relative = {}) const;
    bool Exists(const std::wstring& relative = {}) const;
    std::wstring Path(const std::wstring& relative = {}) const;

private:
    HKEY root_;
    std::wstring path_;
};

} // namespace ih::test
