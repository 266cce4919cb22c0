#include "support/TestRegistry.h"

#include <shlwapi.h>

#include <stdexcept>

namespace ih::test {

ScopedRegistryTree::ScopedRegistryTree(HKEY root, std::wstring path) : root_(root), path_(std::move(path)) {
    ::SHDeleteKeyW(root_, path_.c_str());
    ::RegDeleteKeyW(root_, path_.c_str());
}

ScopedRegistryTree::~ScopedRegistryTree() {
    ::SHDeleteKeyW(root_, path_.c_str());
    ::RegDeleteKeyW(root_, path_.c_str());
}

std::wstring ScopedRegistryTree::Path(const std::wstring& relative) const {
    return relative.empty() ? path_ : path_ + L"\\" + relative;
}

void ScopedRegistryTree::Create(const std::wstring& relative) const {
    HKEY key = nullptr;
    if (::RegCreateKeyExW(root_, Path(relative).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        throw std::runtime_error("cannot create a test registry key");
    ::RegCloseKey(key);
}

bool ScopedRegistryTree::Exists(const std::wstring& relative) const {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(root_, Path(relative).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    ::RegCloseKey(key);
    return true;
}

} // namespace ih::test
