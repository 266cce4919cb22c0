#pragma once
// The script lists of the configuration file "QMX.CFG", section "Scripts":
// a stage's first key ("BeforeScript"), then the same key with 1, 2, 3, ...
// appended. The first missing or empty key ends the list.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace ih::scripts {

inline constexpr std::wstring_view kConfigFileName = L"QMX.CFG";
inline constexpr std::wstring_view kScriptsSection = L"Scripts";

// Key of line `index` of a stage: the first key itself, then with the index appended.
std::wstring ScriptKeyName(std::wstring_view keyBase, unsigned index);

// Appends the stage's lines, trimmed of spaces, reading each key through
// `readValue` (which answers an empty text for a missing key).
void CollectScriptList(const std::function<std::wstring(const std::wstring& key)>& readValue, std::wstring_view keyBase,
                       std::vector<std::wstring>& list);

// Reads a stage's lines from `configFile` with the platform's private-profile
// reader. A missing or unreadable file reads as an empty list. Returns false,
// reading nothing, when one of the three texts is empty.
bool ReadScriptList(std::wstring_view configFile, std::wstring_view section, std::wstring_view keyBase,
                    std::vector<std::wstring>& list);

} // namespace ih::scripts
