#pragma once
// Which scheduled work items are the product's scans: the product writes its
// class identifier as the first field of each work item's data.

#include <cstddef>
#include <string_view>

namespace ih::cleanup {

// Registry form, as StringFromCLSID writes it; compared case-sensitively.
inline constexpr std::wstring_view kProductClassId = L"{D2B7A809-15DC-40B4-A1E1-C61EA97191DB}";

// True when the work-item data, `count` bytes of UTF-16LE text belonging to
// whoever made the work item, has the product's class identifier as its first
// double-quote separated field. The text ends at its first zero character or
// at the end of the bytes, whichever comes first; an odd last byte is ignored.
bool IsProductWorkItemData(const unsigned char* bytes, std::size_t count);

} // namespace ih::cleanup

namespace ih::cleanup {

// The name to open or delete an enumerated work item by: the enumeration
// gives the file name of the work item ("Scan.job"), the scheduler takes the
// work item's own name ("Scan"). One ".job" ending, in any letter case, is
// removed; any other name is kept as it is.
std::wstring_view WorkItemName(std::wstring_view enumerated) noexcept;

} // namespace ih::cleanup
