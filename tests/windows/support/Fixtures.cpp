#include "support/Fixtures.h"

#include <windows.h>

namespace ih::test {

std::wstring FixturePath(std::wstring_view name) {
    std::wstring self(MAX_PATH, L'\0');
    self.resize(::GetModuleFileNameW(nullptr, self.data(), MAX_PATH));
    return self.substr(0, self.find_last_of(L'\\') + 1) + std::wstring(name);
}

} // namespace ih::test
