#include "update/ClassicPackageDescription.h"

#include "frame/Fields.h"

#include <climits>
#include <cstdint>
#include <cwctype>
#include <utility>

namespace ih::update {

namespace {

constexpr int kPairListType = 17;

// Passes end at the first missing entry; the bound only keeps a reader that
// never runs dry from looping for ever.
constexpr int kLastEntryNumber = 100000;

std::wstring Key(std::wstring_view family, int number) { return std::wstring(family) + std::to_wstring(number); }

} // namespace

int ParseDecimal(std::wstring_view text) {
    std::size_t i = 0;
    while (i < text.size() && std::iswspace(static_cast<std::wint_t>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        value = value * 10 + (text[i] - L'0');
        if (value > static_cast<std::int64_t>(INT_MAX) + 1) value = static_cast<std::int64_t>(INT_MAX) + 1;
    }
    if (negative) value = -value;
    if (value > INT_MAX) value = INT_MAX;
    return static_cast<int>(value);
}

std::wstring_view TrimSpaces(std::wstring_view text) {
    const std::size_t first = text.find_first_not_of(L' ');
    if (first == std::wstring_view::npos) return {};
    return text.substr(first, text.find_last_not_of(L' ') - first + 1);
}

std::vector<std::wstring> SelectClassicWindowTitles(const PackageEntryReader& readEntry) {
    std::vector<std::pair<int, int>> pairs;
    for (int n = 1; n <= kLastEntryNumber; ++n) {
        const std::wstring entry = readEntry(Key(L"Component", n));
        if (entry.empty()) break;
        std::int32_t position = 0;
        const std::wstring type = NextField(entry, L",", position);
        if (type.empty()) break;
        const int typeNumber = ParseDecimal(TrimSpaces(type));
        if (typeNumber == 0) break;
        if (typeNumber != kPairListType) continue;
        for (;;) {
            const std::wstring c = NextField(entry, L"#", position);
            const std::wstring d = NextField(entry, L",", position);
            if (c.empty() || d.empty()) break;
            pairs.emplace_back(ParseDecimal(TrimSpaces(c)), ParseDecimal(TrimSpaces(d)));
        }
    }

    std::vector<std::wstring> titles;
    for (int n = 1; n <= kLastEntryNumber; ++n) {
        const std::wstring entry = readEntry(Key(L"ServiceLongName", n));
        if (entry.empty()) break;
        std::int32_t position = 0;
        const std::wstring c = NextField(entry, L"#", position);
        const std::wstring d = NextField(entry, L",", position);
        const std::wstring title = NextField(entry, L",", position);
        if (c.empty() || d.empty() || title.empty()) continue;
        const std::pair<int, int> pair(ParseDecimal(TrimSpaces(c)), ParseDecimal(TrimSpaces(d)));
        for (const auto& listed : pairs) {
            if (listed == pair) {
                titles.emplace_back(TrimSpaces(title));
                break;
            }
        }
    }
    return titles;
}

} // namespace ih::update
