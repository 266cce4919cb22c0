#include "update/ClassicPackageDescription.h"

#include "frame/Decimal.h"
#include "frame/Fields.h"
#include "frame/Text.h"

#include <cstdint>
#include <utility>

namespace ih::update {

namespace {

constexpr int kPairListType = 17;

// Passes end at the first missing entry; the bound only keeps a reader that
// never runs dry from looping for ever.
constexpr int kLastEntryNumber = 100000;

std::wstring Key(std::wstring_view family, int number) { return std::wstring(family) + std::to_wstring(number); }

// A number field of an entry, spaces around it allowed.
std::int32_t Number(std::wstring_view field) { return ParseDecimal(TrimSpaces(field)).value; }

} // namespace

std::vector<std::wstring> SelectClassicWindowTitles(const PackageEntryReader& readEntry) {
    std::vector<std::pair<int, int>> pairs;
    for (int n = 1; n <= kLastEntryNumber; ++n) {
        const std::wstring entry = readEntry(Key(L"Component", n));
        if (entry.empty()) break;
        std::int32_t position = 0;
        const std::wstring type = NextField(entry, L",", position);
        if (type.empty()) break;
        const int typeNumber = Number(type);
        if (typeNumber == 0) break;
        if (typeNumber != kPairListType) continue;
        for (;;) {
            const std::wstring c = NextField(entry, L"#", position);
            const std::wstring d = NextField(entry, L",", position);
            if (c.empty() || d.empty()) break;
            pairs.emplace_back(Number(c), Number(d));
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
        const std::pair<int, int> pair(Number(c), Number(d));
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
