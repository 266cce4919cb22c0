#pragma once
// The helper programs built beside the test program.

#include <string>
#include <string_view>

namespace ih::test {

// Full path of fixture program `name` (e.g. L"ScriptProbe.exe").
std::wstring FixturePath(std::wstring_view name);

} // namespace ih::test
