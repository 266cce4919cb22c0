#pragma once
// The earlier generation of the product ("Classic QMX"): its registry record,
// its package description's window titles and its windows.

#include <windows.h>

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace ih::update {

inline constexpr std::wstring_view kClassicProductKey = L"SOFTWARE\\Kestro\\BruskNT";
inline constexpr std::wstring_view kClassicProductParentKey = L"SOFTWARE\\Kestro\\";
inline constexpr std::wstring_view kClassicProductSubkey = L"BruskNT";
inline constexpr std::wstring_view kClassicDescriptionFile = L"WBRUSKNT.inf";

// A record whose "Status" says the earlier generation is in a state this
// installation cannot deal with.
class ClassicProductError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Whether the earlier generation is installed: its record names a folder
// holding "ZORL.DLL". That folder, without trailing separators, goes to
// `folder`. A record whose folder lacks the library is stale and is deleted.
// Throws ClassicProductError for a "Status" other than 16 or 32.
bool IsClassicProductInstalled(std::wstring& folder);

// The titles of the earlier generation's windows, from its package
// description.
std::vector<std::wstring> ReadClassicWindowTitles();

// Asks each of the earlier generation's top-level windows to close, without
// waiting.
void CloseClassicWindows();

// Reads the "Path" value of an open record key: a string, plain or
// expandable, of at most 259 characters, terminated or not. False otherwise.
bool ReadClassicPath(HKEY record, std::wstring& path);

} // namespace ih::update
