#pragma once
// The window titles of the earlier product generation, selected from the
// "PACKAGE" section of its package description file. Portable: the caller
// supplies the entry reader, so the parsing runs (and is tested) anywhere.
//
//   ComponentN       = TYPE[,C#D,C#D...]     a type-17 entry lists (C, D) pairs
//   ServiceLongNameN = C#D,TITLE             the title is selected when (C, D)
//                                            is one of the listed pairs
// Both families are numbered from 1 and end at the first missing entry.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace ih::update {

// Returns the value of one entry of the "PACKAGE" section, empty when missing.
using PackageEntryReader = std::function<std::wstring(std::wstring_view key)>;

// The selected titles, in the order of their entries, without surrounding spaces.
std::vector<std::wstring> SelectClassicWindowTitles(const PackageEntryReader& readEntry);

} // namespace ih::update
